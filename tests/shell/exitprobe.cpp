// A real process for the tests of ending the program. It reads the settings from the given
// file, changes them in memory (so that any later save would show in the file), and then ends
// the program the way the mode names. Exit status 0 comes only from the program's own ending;
// 3 means the process was still alive afterwards.
// Usage: exitprobe exit|close|cancel SETTINGS-FILE
#include "config.h"
#include "form1.h"
#include "login.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    config::SetConfigFilePath(QString::fromLocal8Bit(argv[2]));
    config::LoadConfig();
    config::SetConfig(QStringLiteral("dbuser"), QStringLiteral("changed-in-memory"));

    Form1 window;
    window.show();
    // Polls for the credentials dialog: Cancel is pressed once it is open.
    QTimer cancelWhenOpen;
    cancelWhenOpen.setInterval(10);
    QObject::connect(&cancelWhenOpen, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<login*>(QApplication::activeModalWidget()))
            dialog->Command2->click();
    });
    // Once the event loop runs.
    QTimer::singleShot(0, [&] {
        if (mode == QLatin1String("exit")) {
            window.mnuFileExit->trigger();
        } else if (mode == QLatin1String("close")) {
            window.close();
        } else if (mode == QLatin1String("cancel")) {
            cancelWhenOpen.start();
            window.mnuSettingsDbUP->trigger();
        }
        QApplication::exit(3);
    });
    return app.exec();
}
