// A copy of the program's settings handling in a process of its own, so that tests can run it as
// another user or let two copies save in turn. It loads the file, prints the user name it read,
// waits for a line on standard input when asked to, sets each NAME=VALUE, saves, and prints
// "saved" or the failure message. --lock-wait sets how long a save waits for the folder's lock.
// Exit status: 0 saved, 1 not saved, 2 usage.
// Usage: settingsprobe SETTINGS-FILE [--lock-wait MS] [--wait] [NAME=VALUE ...]
#include "config.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty())
        return 2;
    config::SetConfigFilePath(arguments.takeFirst());
    std::chrono::milliseconds lockWait = config::kFolderLockWait;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--lock-wait")) {
        arguments.removeFirst();
        lockWait = std::chrono::milliseconds(arguments.takeFirst().toInt());
    }
    QTextStream out(stdout);
    config::LoadConfig();
    out << "loaded " << config::GetConfig(QStringLiteral("dbuser")) << Qt::endl;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--wait")) {
        arguments.removeFirst();
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            return 2;
    }
    for (const QString& setting : arguments) {
        const qsizetype equals = setting.indexOf(u'=');
        if (equals <= 0)
            return 2;
        config::SetConfig(setting.left(equals), setting.mid(equals + 1));
    }
    const Status result = config::SaveConfig(lockWait);
    out << (result.ok() ? QStringLiteral("saved") : result.reason()) << Qt::endl;
    return result.ok() ? 0 : 1;
}
