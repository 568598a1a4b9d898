// A real process for the tests of searching under a limit on memory. It loads the window, picks
// today and both directions, types the number, limits its address space to what it uses then
// plus the headroom given, and clicks Search. It prints "ready" before the click and then the
// number of listed rows and the status bar's summary; exit status 0 means it lived through the
// search, and the memory it was resident in before, at the peak and after the search. A headroom
// of 0 sets no limit.
// Usage: searchprobe SETTINGS-FILE NUMBER HEADROOM-MIB
#include "calllistmodel.h"
#include "config.h"
#include "form1.h"
#include "residentsize.h"
#include "statustext.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTextStream>

#include <sys/resource.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    config::SetConfigFilePath(QString::fromLocal8Bit(argv[1]));
    config::LoadConfig();
    Form1 window;
    // The window reads the database on a thread of its own: each step ends with its signal.
    const auto runUntil = [&window](auto finished, auto step) {
        QEventLoop loop;
        QObject::connect(&window, finished, &loop, &QEventLoop::quit);
        step();
        loop.exec();
    };
    runUntil(&Form1::loadFinished, [&window] { window.Form_Load(); });
    // Not shown: Qt's raster painter waits forever for a helper thread that could not start
    // for want of memory, which is no part of the search.
    window.Combo2->setCurrentIndex(0);
    window.Combo1->setCurrentIndex(window.Combo1->findText(QStringLiteral("Both")));
    window.Text1->setText(QString::fromLocal8Bit(argv[2]));

    const long headroomMiB = QByteArray(argv[3]).toLong();
    const long inUseKiB = ProcessStatusKiB("VmSize:");
    const rlim_t limit = rlim_t(inUseKiB + headroomMiB * 1024) * 1024;
    const rlimit both{limit, limit};
    if (headroomMiB > 0 && (inUseKiB <= 0 || ::setrlimit(RLIMIT_AS, &both) != 0))
        return 3;
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    const long residentBefore = ResidentKiB();
    ResetPeakResident();
    runUntil(&Form1::searchFinished, [&window] { window.Command2_Click(); });
    out << window.listItems->count() << '\n'
        << window.statusSummary->fullText() << '\n'
        << "resident KiB: " << residentBefore << " before, " << PeakResidentKiB()
        << " at the peak, " << ResidentKiB() << " after" << Qt::endl;
    return 0;
}
