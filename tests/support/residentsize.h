#pragma once

#include <QByteArray>
#include <QFile>

// The process's memory in KiB as /proc reports it; -1 where that cannot be read. Header-only,
// so the benchmark can use it without the test support library.
inline long ProcessStatusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// What is resident now.
inline long ResidentKiB() {
    return ProcessStatusKiB("VmRSS:");
}

// The most that was resident since the process started or since ResetPeakResident().
inline long PeakResidentKiB() {
    return ProcessStatusKiB("VmHWM:");
}

inline void ResetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
