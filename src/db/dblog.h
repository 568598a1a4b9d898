#pragma once

#include <QLoggingCategory>

// The developer log of the database routines; quiet unless enabled with
// QT_LOGGING_RULES="linetally.db.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcDb)
