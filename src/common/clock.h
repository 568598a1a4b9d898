#pragma once

#include <QDate>

// Today's date as the program sees it. What depends on today takes it as a function where a
// test needs a fixed day (the main window's date list), so that it does not change at midnight.
inline QDate Today() {
    return QDate::currentDate();
}
