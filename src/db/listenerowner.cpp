#include "listenerowner.h"

#include <QFile>
#include <QString>

#ifdef Q_OS_LINUX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// Accounts below this are the system's own (Debian gives people 1000 and up).
constexpr uint kFirstPersonUid = 1000;

// The owners of the sockets in one of the kernel's tables that listen on the port at an address
// a connection to 127.0.0.1 reaches.
QList<uint> listenersIn(const QString& table, quint16 port, const QList<QByteArray>& addresses) {
    QList<uint> owners;
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return owners;
    file.readLine(); // the header
    const QByteArray wantedPort = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() < 8 || fields[3] != "0A") // 0A: listening
            continue;
        const QList<QByteArray> local = fields[1].split(':');
        if (local.size() != 2 || local[1] != wantedPort || !addresses.contains(local[0]))
            continue;
        bool ok = false;
        const uint uid = fields[7].toUInt(&ok);
        if (ok)
            owners << uid;
    }
    return owners;
}
#endif

} // namespace

Status CheckLocalListener(quint16 port) {
#ifdef Q_OS_LINUX
    // 127.0.0.1 and any address, as IPv4 and as IPv6 (a dual-stack socket, a mapped address).
    QList<uint> owners =
        listenersIn(QStringLiteral("/proc/net/tcp"), port, {"0100007F", "00000000"});
    owners += listenersIn(QStringLiteral("/proc/net/tcp6"), port,
                          {"00000000000000000000000000000000", "0000000000000000FFFF00000100007F"});
    const uint me = ::geteuid();
    for (const uint owner : owners) {
        if (owner == 0 || owner < kFirstPersonUid || owner == me)
            continue;
        const passwd* account = ::getpwuid(owner);
        const QString name =
            account ? QString::fromLocal8Bit(account->pw_name) : QStringLiteral("unknown");
        return Status::failure(
            QStringLiteral("Linetally did not send the database password: port %1 of this "
                           "machine is held by a program of the user %2 (uid %3), not by the "
                           "database service or by you.")
                .arg(port)
                .arg(name)
                .arg(owner));
    }
#else
    Q_UNUSED(port)
#endif
    return {};
}
