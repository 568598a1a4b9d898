#include "sockets.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// The inodes of this process's sockets, by descriptor.
std::vector<std::pair<int, unsigned long>> ownSockets() {
    std::vector<std::pair<int, unsigned long>> sockets;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray link = QFile::encodeName(fds.filePath(name));
        const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
        const QByteArrayView text(target, length > 0 ? length : 0);
        if (!text.startsWith("socket:[") || !text.endsWith("]"))
            continue;
        bool ok = false;
        const unsigned long inode = text.sliced(8, text.size() - 9).toULong(&ok);
        if (ok)
            sockets.emplace_back(name.toInt(), inode);
    }
    return sockets;
}

// The inodes of the IPv4 connections to the port of 127.0.0.1.
std::vector<unsigned long> connectionsTo(quint16 port) {
    std::vector<unsigned long> inodes;
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return inodes;
    table.readLine();
    const QByteArray remote =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 9 && fields[2] == remote)
            inodes.push_back(fields[9].toULong());
    }
    return inodes;
}

} // namespace

std::vector<unsigned long> OwnSocketIds() {
    std::vector<unsigned long> ids;
    for (const auto& [fd, inode] : ownSockets())
        ids.push_back(inode);
    return ids;
}

int NewSocketTo(quint16 port, const std::vector<unsigned long>& before) {
    const std::vector<unsigned long> toServer = connectionsTo(port);
    for (const auto& [fd, inode] : ownSockets()) {
        if (std::find(before.begin(), before.end(), inode) == before.end() &&
            std::find(toServer.begin(), toServer.end(), inode) != toServer.end())
            return fd;
    }
    return -1;
}

void CutOff(int fd) {
    ::shutdown(fd, SHUT_RDWR);
}

} // namespace platform
