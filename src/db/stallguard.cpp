#include "stallguard.h"

#include "dblog.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

std::atomic<int> limitSeconds{StallGuard::kLimitSeconds};

#ifdef Q_OS_LINUX
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
#endif

} // namespace

void StallGuard::SetLimitForTesting(int seconds) {
    limitSeconds = seconds;
}

StallGuard::~StallGuard() {
    if (watcher_) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stop_.notify_all();
        watcher_->join();
    }
}

void StallGuard::noteSocketsBefore() {
#ifdef Q_OS_LINUX
    before_.clear();
    for (const auto& [fd, inode] : ownSockets())
        before_.push_back(inode);
#endif
}

void StallGuard::findSocket(quint16 serverPort) {
#ifdef Q_OS_LINUX
    const std::vector<unsigned long> toServer = connectionsTo(serverPort);
    for (const auto& [fd, inode] : ownSockets()) {
        if (std::find(before_.begin(), before_.end(), inode) == before_.end() &&
            std::find(toServer.begin(), toServer.end(), inode) != toServer.end()) {
            fd_.store(fd);
            if (!watcher_)
                startWatcher();
            return;
        }
    }
#else
    Q_UNUSED(serverPort)
#endif
}

void StallGuard::startWatcher() {
    // Without memory for another thread (a tight address space limit) the connection goes on
    // unwatched, as on systems that do not say which socket is the server's: failing here would
    // throw through the database layer and end the program.
    try {
        watcher_ = std::make_unique<std::thread>([this] { watch(); });
    } catch (const std::system_error& error) {
        qCWarning(lcDb) << "the stall guard could not start its thread:" << error.what();
    } catch (const std::bad_alloc&) {
        qCWarning(lcDb) << "the stall guard could not start its thread: out of memory";
    }
}

void StallGuard::arm() {
    callStarted_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                       std::memory_order_relaxed);
    inCall_.store(true, std::memory_order_release);
}

void StallGuard::disarm() {
    inCall_.store(false, std::memory_order_release);
}

void StallGuard::watch() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        if (!inCall_.load(std::memory_order_acquire))
            continue;
        const Clock::time_point started{
            Clock::duration(callStarted_.load(std::memory_order_relaxed))};
        if (Clock::now() - started >= std::chrono::seconds(limitSeconds.load())) {
#ifdef Q_OS_LINUX
            // The driver's own read fails at once and reports the connection as lost.
            ::shutdown(fd_.load(), SHUT_RDWR);
#endif
            inCall_.store(false, std::memory_order_release);
        }
    }
}
