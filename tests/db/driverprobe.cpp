// Runs the driver probe in a process of its own, so that each test can give unixODBC a
// different odbcinst.ini (it reads the file once per process).
// Usage: driverprobe USER PASSWORD; prints "found|not found" and DbDriver on two lines.
#include "config.h"
#include "dbroutines.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    config::SetConfig(QStringLiteral("dbuser"), QString::fromLocal8Bit(argv[1]));
    config::SetConfig(QStringLiteral("dbpass"), QString::fromLocal8Bit(argv[2]));
    dbRoutines::DbDriver = QStringLiteral("unchanged");
    const bool found = dbRoutines::FindDriver().ok();
    QTextStream(stdout) << (found ? "found" : "not found") << '\n' << dbRoutines::DbDriver << '\n';
    return 0;
}
