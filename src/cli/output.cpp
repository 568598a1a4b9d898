#include "output.h"

#include "terminal.h"

#include <QDir>

#include <cstdio>

namespace {
constexpr qsizetype kBufferBytes = 256 * 1024;
}

Result<std::unique_ptr<Output>> Output::Open(const QString& path) {
    std::unique_ptr<Output> output(new Output);
    output->buffer_.reserve(kBufferBytes + 4096);
    if (path.isEmpty()) {
        Terminal::IgnoreBrokenPipe();
        return Succeeded(std::move(output));
    }
    output->path_ = path;
    output->file_ = std::make_unique<QSaveFile>(path);
    if (!output->file_->open(QIODevice::WriteOnly))
        return Failed<std::unique_ptr<Output>>(
            QStringLiteral("%1 cannot be written: %2")
                .arg(QDir::toNativeSeparators(path), output->file_->errorString()));
    return Succeeded(std::move(output));
}

Output::~Output() {
    abandon();
}

bool Output::write(QByteArrayView bytes) {
    if (!failure_.isEmpty() || pipeClosed_)
        return false;
    buffer_.append(bytes.data(), bytes.size());
    return buffer_.size() < kBufferBytes || flush();
}

bool Output::flush() {
    if (buffer_.isEmpty())
        return true;
    if (file_) {
        // QSaveFile::commit() misses a failure of the last flush of its own buffer (a full
        // disk under a small report): flush here, where the failure is seen.
        if (file_->write(buffer_) != buffer_.size() || !file_->flush()) {
            failure_ = QStringLiteral("%1 cannot be written: %2")
                           .arg(QDir::toNativeSeparators(path_), file_->errorString());
            return false;
        }
    } else if (std::fwrite(buffer_.constData(), 1, size_t(buffer_.size()), stdout) !=
                   size_t(buffer_.size()) ||
               std::fflush(stdout) != 0) {
        if (Terminal::LastWriteHitClosedPipe())
            pipeClosed_ = true;
        else
            failure_ = QStringLiteral("standard output cannot be written");
        return false;
    }
    buffer_.clear();
    return true;
}

Status Output::finish() {
    flush();
    if (pipeClosed_)
        return {};
    if (!failure_.isEmpty()) {
        abandon();
        return Status::failure(failure_);
    }
    if (file_) {
        if (!file_->commit()) {
            const QString reason = QStringLiteral("%1 cannot be written: %2")
                                       .arg(QDir::toNativeSeparators(path_), file_->errorString());
            file_.reset();
            return Status::failure(reason);
        }
        file_.reset();
    }
    return {};
}

void Output::abandon() {
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
}
