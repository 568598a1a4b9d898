#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// The seconds psql takes to run the statement on the test database, its rows thrown away: what
// the benchmarks hold the program's own reading against.
inline double psqlSeconds(const QString& statement) {
    QProcess psql;
    psql.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    psql.start(QStringLiteral("psql"),
               {"-X", "-q", "-A", "-t", "-h", "127.0.0.1", "-p", "5480", "-U",
                qEnvironmentVariable("LINETALLY_TEST_USER"), "-d", "phonesystem", "-c", statement});
    psql.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
}
