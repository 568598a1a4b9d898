#include "stallguard.h"

#include "dblog.h"
#include "sockets.h"

#include <atomic>
#include <new>
#include <system_error>

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
    before_ = platform::OwnSocketIds();
}

void StallGuard::findSocket(quint16 serverPort) {
    const int fd = platform::NewSocketTo(serverPort, before_);
    if (fd < 0)
        return;
    fd_.store(fd);
    if (!watcher_)
        startWatcher();
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
        if (Clock::now() - started >= limit_) {
            // The driver's own read fails at once and reports the connection as lost.
            platform::CutOff(fd_.load());
            inCall_.store(false, std::memory_order_release);
        }
    }
}
