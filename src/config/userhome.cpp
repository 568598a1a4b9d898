#include "userhome.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace config {

QString UserHomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
#ifdef Q_OS_UNIX
    if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_dir)
        return QString::fromLocal8Bit(account->pw_dir);
#endif
    return QDir::homePath();
}

} // namespace config
