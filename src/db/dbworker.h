#pragma once

#include "callrows.h"
#include "connectionsettings.h"
#include "dbconnection.h"
#include "result.h"
#include "searchquery.h"

#include <QObject>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>

// Runs the window's database work on a thread of its own, one operation after another, so that a
// slow server or a locked table never freezes the window. Each operation opens its own
// connection, as the routines always do, and hands what it found to a function run on the
// receiver's thread: values only, never a widget or a model. When the receiver is gone by then,
// the value is dropped. Each operation gets the settings it connects with as a value when it
// is asked for, so that a change of the settings meanwhile reaches only the operations asked for
// after it; the worker reads no setting of its own and changes none.
class DbWorker {
public:
    // The start: the driver probe, then the extension list where a driver was found. The driver
    // found is for the receiver to keep.
    struct StartOutcome {
        Result<QString> driver;
        std::optional<Result<QStringList>> extensions;
    };
    // A search, with the probe made first where no driver was known yet.
    struct SearchOutcome {
        std::optional<StartOutcome> probe;
        Result<CallRows> rows;
    };

    // rowsBeforeOutOfMemory: each search lists into CallRows(rowsBeforeOutOfMemory), so that
    // tests can run out of memory part way; negative: as many rows as memory holds.
    explicit DbWorker(qsizetype rowsBeforeOutOfMemory = -1);
    // Cancels what runs and waits for the thread to end.
    ~DbWorker();
    DbWorker(const DbWorker&) = delete;
    DbWorker& operator=(const DbWorker&) = delete;

    void start(ConnectionSettings settings, QObject* receiver,
               std::function<void(StartOutcome)> done);
    void fillExtensionList(ConnectionSettings settings, QObject* receiver,
                           std::function<void(Result<QStringList>)> done);
    // Settings without a driver clause: the driver is found before the search;
    // withExtensions: the extension list is read too once the probe found one.
    void search(ConnectionSettings settings, SearchQuery query, bool withExtensions,
                QObject* receiver, std::function<void(SearchOutcome)> done);

    // Cancels the statement that runs now and fails every later one; thread-safe. For closing:
    // the worker does no more database work afterwards.
    void cancel();
    // After cancel(): waits at most so long for the operation that runs to end; whether it did.
    bool finish(int milliseconds);

private:
    template <typename T>
    void post(QObject* receiver, std::function<T()> job, std::function<void(T)> done);

    QThread thread_;
    std::unique_ptr<QObject> context_; // lives on thread_: the operations run in its events
    CancelGroup cancelGroup_;
    qsizetype rowsBeforeOutOfMemory_;
};
