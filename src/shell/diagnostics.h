#pragma once

#include "result.h"

#include <QString>

// The two connection self-tests, with their own built-in credentials. Neither touches the
// settings, the chosen driver, the result list or the status bar.
namespace Diagnostics {

QString OdbcSelfTestConnectionString();
QString OleDbSelfTestConnectionString();

// Connects through the ODBC driver's ANSI variant and runs the test query.
Status RunOdbcSelfTest();
// Connects natively with the settings of the OLE DB string and runs the test query.
Status RunOleDbSelfTest();

} // namespace Diagnostics
