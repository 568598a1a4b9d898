#include "dbworker.h"

#include "dbroutines.h"

#include <QPointer>

#include <memory>
#include <new>

namespace {

// The settings come back with the driver found, for what runs after the probe.
DbWorker::StartOutcome findDriverAndExtensions(ConnectionSettings& settings, bool withExtensions) {
    DbWorker::StartOutcome outcome{dbRoutines::ProbeDrivers(settings), std::nullopt};
    if (outcome.driver) {
        settings.driverClause = outcome.driver.value;
        if (withExtensions)
            outcome.extensions = dbRoutines::FillExtensionList(settings);
    }
    return outcome;
}

// What a job that ran out of memory hands back: the window shows it like any other failure.
const QString kOutOfMemory = QStringLiteral("Out of memory");

template <typename T> T outOfMemory();
template <> DbWorker::StartOutcome outOfMemory() {
    return {Failed<QString>(kOutOfMemory), std::nullopt};
}
template <> Result<QStringList> outOfMemory() {
    return Failed<QStringList>(kOutOfMemory);
}
template <> DbWorker::SearchOutcome outOfMemory() {
    return {std::nullopt, Failed<CallRows>(kOutOfMemory)};
}

} // namespace

DbWorker::DbWorker(qsizetype rowsBeforeOutOfMemory)
    : context_(std::make_unique<QObject>()), rowsBeforeOutOfMemory_(rowsBeforeOutOfMemory) {
    thread_.setObjectName(QStringLiteral("linetally-db"));
    context_->moveToThread(&thread_);
    // Connections opened on the thread join the group, so that cancel() reaches them.
    QObject::connect(
        &thread_, &QThread::started, context_.get(),
        [this] { CancelGroup::JoinOnThisThread(&cancelGroup_); }, Qt::DirectConnection);
    thread_.start();
}

DbWorker::~DbWorker() {
    cancel();
    thread_.quit();
    thread_.wait();
    // The context was the thread's; with the thread ended it can go from here.
    context_.reset();
}

template <typename T>
void DbWorker::post(QObject* receiver, std::function<T()> job, std::function<void(T)> done) {
    QMetaObject::invokeMethod(
        context_.get(),
        [job = std::move(job), done = std::move(done), receiver = QPointer<QObject>(receiver)] {
            // An exception must not leave the thread: it would end the program. What the job
            // had allocated is freed by then, so the small failure value finds room.
            try {
                // Shared, so that the queued call below can be copied as Qt requires.
                std::shared_ptr<T> value;
                try {
                    value = std::make_shared<T>(job());
                } catch (const std::bad_alloc&) {
                    value = std::make_shared<T>(outOfMemory<T>());
                }
                if (receiver)
                    QMetaObject::invokeMethod(
                        receiver.data(), [done, value] { done(std::move(*value)); },
                        Qt::QueuedConnection);
            } catch (const std::bad_alloc&) {
                qWarning("linetally: out of memory while handing back a database result");
            }
        },
        Qt::QueuedConnection);
}

void DbWorker::start(ConnectionSettings settings, QObject* receiver,
                     std::function<void(StartOutcome)> done) {
    post<StartOutcome>(
        receiver,
        [settings = std::move(settings)]() mutable {
            return findDriverAndExtensions(settings, true);
        },
        std::move(done));
}

void DbWorker::fillExtensionList(ConnectionSettings settings, QObject* receiver,
                                 std::function<void(Result<QStringList>)> done) {
    post<Result<QStringList>>(
        receiver,
        [settings = std::move(settings)] { return dbRoutines::FillExtensionList(settings); },
        std::move(done));
}

void DbWorker::search(ConnectionSettings settings, SearchQuery query, bool withExtensions,
                      QObject* receiver, std::function<void(SearchOutcome)> done) {
    post<SearchOutcome>(
        receiver,
        [settings = std::move(settings), query = std::move(query), withExtensions,
         room = rowsBeforeOutOfMemory_]() mutable {
            SearchOutcome outcome;
            if (settings.driverClause.isEmpty()) {
                outcome.probe = findDriverAndExtensions(settings, withExtensions);
                if (!outcome.probe->driver) {
                    outcome.rows = Failed<CallRows>(outcome.probe->driver.reason());
                    return outcome;
                }
            }
            outcome.rows = dbRoutines::RunSearchQuery(settings, query, CallRows(room));
            return outcome;
        },
        std::move(done));
}

void DbWorker::cancel() {
    cancelGroup_.cancel();
}

bool DbWorker::finish(int milliseconds) {
    thread_.quit();
    return thread_.wait(QDeadlineTimer(milliseconds));
}
