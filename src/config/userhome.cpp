#include "userhome.h"

#include "process.h"

#include <QDir>

namespace config {

QString UserHomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    if (const QString account = platform::AccountHomeFolder(); !account.isEmpty())
        return account;
    return QDir::homePath();
}

} // namespace config
