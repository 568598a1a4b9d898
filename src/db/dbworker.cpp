#include "dbworker.h"

#include "dbroutines.h"

#include <QPointer>

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

} // namespace

DbWorker::DbWorker() : context_(std::make_unique<QObject>()) {
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
            // Shared, so that the queued call below can be copied as Qt requires.
            auto value = std::make_shared<T>(job());
            if (receiver)
                QMetaObject::invokeMethod(
                    receiver.data(), [done, value] { done(std::move(*value)); },
                    Qt::QueuedConnection);
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
        [settings = std::move(settings), query = std::move(query), withExtensions]() mutable {
            SearchOutcome outcome;
            if (settings.driverClause.isEmpty()) {
                outcome.probe = findDriverAndExtensions(settings, withExtensions);
                if (!outcome.probe->driver) {
                    outcome.rows = Failed<CallRows>(outcome.probe->driver.reason());
                    return outcome;
                }
            }
            outcome.rows = dbRoutines::RunSearchQuery(settings, query);
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
