#pragma once

#include <QByteArray>
#include <QFile>

// The process's resident memory in KiB, from /proc; -1 where that cannot be read. Header-only,
// so the benchmark can use it without the test support library.
inline long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}
