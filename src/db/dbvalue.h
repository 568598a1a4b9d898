#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// One value of a result row as the driver delivered it.
struct DbValue {
    enum class Kind {
        Null,
        Bytes,
        Timestamp,
        Failed, // the value could not be read; the walk over the rows ends with the reason
    };
    Kind kind = Kind::Null;
    QByteArrayView bytes; // Kind::Bytes: UTF-8 text, valid until the next row is fetched
    // Kind::Timestamp: the driver's own fields (a year of -9999 for -infinity, below 1 for BC)
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    quint32 fraction = 0; // nanoseconds
};
