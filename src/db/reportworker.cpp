#include "reportworker.h"

#include <QPointer>

ReportWorker::ReportWorker() : context_(std::make_unique<QObject>()) {
    thread_.setObjectName(QStringLiteral("linetally-reports"));
    context_->moveToThread(&thread_);
    thread_.start();
}

ReportWorker::~ReportWorker() {
    cancel();
    thread_.quit();
    thread_.wait();
    context_.reset();
}

void ReportWorker::cancel() {
    ++generation_;
    std::lock_guard lock(groupMutex_);
    if (group_)
        group_->cancel();
}

void ReportWorker::run(ConnectionSettings settings, SearchQuery query, std::shared_ptr<Job> job,
                       QObject* receiver, std::function<void(qint64)> progress,
                       std::function<void(Status)> done) {
    cancel();
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        context_.get(),
        [this, generation, settings = std::move(settings), query = std::move(query),
         job = std::move(job), receiver = QPointer<QObject>(receiver),
         progress = std::move(progress), done = std::move(done)] {
            const auto current = [this, generation] { return generation_ == generation; };
            if (!current())
                return; // a newer report was asked for while this one queued
            auto group = std::make_shared<CancelGroup>();
            {
                std::lock_guard lock(groupMutex_);
                group_ = group;
            }
            // A cancel() between the check above and the group's start reaches no connection:
            // the reader below stops at its first call then.
            CancelGroup::JoinOnThisThread(group.get());
            const HandOn handOn = [&](std::function<void()> function) {
                if (receiver && current())
                    QMetaObject::invokeMethod(
                        receiver.data(),
                        [function = std::move(function), current] {
                            if (current())
                                function();
                        },
                        Qt::QueuedConnection);
            };
            qint64 read = 0;
            ConnectionSettings connection = settings;
            Status status;
            if (connection.driverClause.isEmpty()) {
                // The driver found here is the program's from then on, kept on the receiver's
                // thread, which owns it.
                const Result<QString> probed = dbRoutines::ProbeDrivers(connection);
                status = probed.status;
                connection.driverClause = probed.value;
                if (probed)
                    handOn([probed] { dbRoutines::KeepFirstDriver(probed); });
            }
            if (status && current())
                status = job->prepare(connection, handOn);
            if (status && current())
                // The calls come through the route that reads a million of them fastest, the
                // first ones at once.
                status = dbRoutines::StreamCalls(
                    connection, query,
                    [&](const dbRoutines::CallRecord& call) {
                        if (!current())
                            return false;
                        job->add(call);
                        if (++read % kProgressStep == 0 || read == kFirstProgress)
                            handOn([progress, read] { progress(read); });
                        return true;
                    },
                    DbConnection::Rows::FirstAtOnce);
            CancelGroup::JoinOnThisThread(nullptr);
            {
                std::lock_guard lock(groupMutex_);
                if (group_ == group)
                    group_.reset();
            }
            if (!current())
                return;
            if (status)
                job->finish();
            handOn([done, status] { done(status); });
        },
        Qt::QueuedConnection);
}
