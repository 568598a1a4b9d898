#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Bounds how long one call into the driver may wait for the server. The statement timeout is
// the server's own: over a link that stalls (a dropped SSH tunnel) no answer ever comes, and the
// window would freeze for good. Once a call has waited this long, the connection's socket is
// shut down, and the driver reports the connection as lost. Where the socket cannot be found
// (not Linux), nothing is bounded beyond the server's timeout.
class StallGuard {
public:
    static constexpr std::chrono::seconds kLimit{75};

    explicit StallGuard(std::chrono::seconds limit = kLimit) : limit_(limit) {}
    ~StallGuard();
    StallGuard(const StallGuard&) = delete;
    StallGuard& operator=(const StallGuard&) = delete;

    // The sockets to 127.0.0.1 this process holds now, to tell afterwards which one a new
    // connection opened.
    void noteSocketsBefore();
    // Finds the connection's socket among those opened since noteSocketsBefore(). The watcher
    // starts with the first socket found and keeps watching whichever was found last.
    void findSocket(quint16 serverPort);

    // Brackets a call that waits for the server.
    void arm();
    void disarm();

private:
    void startWatcher();
    void watch();

    const std::chrono::seconds limit_;
    std::vector<unsigned long> before_;
    // The socket the watcher shuts down; a connection opened again replaces it.
    std::atomic<int> fd_{-1};
    // Set and cleared around every call without a lock: a day's rows are a million calls.
    std::atomic<bool> inCall_{false};
    std::atomic<std::chrono::steady_clock::rep> callStarted_{0};
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::unique_ptr<std::thread> watcher_;
};

// Arms a guard for the lifetime of a scope.
class StallScope {
public:
    explicit StallScope(StallGuard& guard) : guard_(guard) { guard_.arm(); }
    ~StallScope() { guard_.disarm(); }
    StallScope(const StallScope&) = delete;
    StallScope& operator=(const StallScope&) = delete;

private:
    StallGuard& guard_;
};
