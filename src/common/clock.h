#pragma once

#include <QDate>

// Today's date as the program sees it. Tests set a fixed day, so that what depends on today
// (the date list, "today" and "yesterday" on the command line) does not change at midnight.
inline QDate& TodayOverride() {
    static QDate day;
    return day;
}
inline QDate Today() {
    return TodayOverride().isValid() ? TodayOverride() : QDate::currentDate();
}
inline void SetTodayForTesting(QDate day) {
    TodayOverride() = day;
}
