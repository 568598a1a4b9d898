#pragma once

#include "dbconnection.h"
#include "dbroutines.h"
#include "result.h"
#include "searchquery.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// Reads the calls of a report on a thread of its own, so that the window that asked goes on
// drawing and taking input while the server works or waits for a lock. One report runs at a
// time, each on its own connection; a newer report, or cancel(), stops the one that runs at the
// server (SQLCancel) and its outcome is never handed on.
class ReportWorker {
public:
    // Runs a function on the receiver's thread, unless the report has been stopped by then.
    using HandOn = std::function<void(std::function<void()>)>;

    // What a report does with the calls, all on the worker's thread: prepare() before the calls
    // are read (with a connection of its own where it reads something first; what it has found
    // by then it may hand on), add() for each call, oldest first, finish() once after the last.
    // None may touch a widget.
    class Job {
    public:
        virtual ~Job() = default;
        [[nodiscard]] virtual Status prepare(const ConnectionSettings& settings,
                                             const HandOn& handOn) {
            (void)settings;
            (void)handOn;
            return {};
        }
        virtual void add(const dbRoutines::CallRecord& call) = 0;
        virtual void finish() = 0;
    };

    // How often the progress is handed on at most, in calls read; the first time sooner, so
    // that a list shows its first calls at once.
    static constexpr qint64 kProgressStep = 10000;
    static constexpr qint64 kFirstProgress = 500;

    ReportWorker();
    // Cancels what runs and waits for the thread to end.
    ~ReportWorker();
    ReportWorker(const ReportWorker&) = delete;
    ReportWorker& operator=(const ReportWorker&) = delete;

    // Stops the report that runs, if any, and reads the query's calls into the job, connected
    // with the settings given (the driver is found first when they hold none); its order
    // must leave no two rows to chance (BuildListedReportQuery). progress gets the calls read
    // so far; done the outcome once the job has finished, or the reason it stopped. Both run
    // on the receiver's thread, and neither for a report stopped since.
    void run(ConnectionSettings settings, SearchQuery query, std::shared_ptr<Job> job,
             QObject* receiver, std::function<void(qint64 callsRead)> progress,
             std::function<void(Status)> done);
    // Stops the report that runs; later ones run as usual. Thread-safe.
    void cancel();

private:
    QThread thread_;
    std::unique_ptr<QObject> context_; // lives on thread_: the reports run in its events
    std::atomic<quint64> generation_{0};
    std::mutex groupMutex_;
    std::shared_ptr<CancelGroup> group_; // the connections of the report that runs
};
