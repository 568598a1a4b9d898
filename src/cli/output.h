#pragma once

#include "result.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>

// Where a report goes: standard output, or a file that is replaced only once the whole report
// is written, so that a failure never leaves half a file behind. Writes are buffered.
class Output {
public:
    // An empty path is standard output.
    static Result<std::unique_ptr<Output>> Open(const QString& path);
    ~Output();

    // False once a write failed; see pipeClosed() and finish().
    bool write(QByteArrayView bytes);
    bool write(const QByteArray& bytes) { return write(QByteArrayView(bytes)); }
    bool write(const QString& text) { return write(text.toUtf8()); }
    // The reader of standard output went away (| head): the report ends quietly.
    bool pipeClosed() const { return pipeClosed_; }
    // Writes what is buffered and, for a file, puts it in place.
    Status finish();
    // Drops a file's new contents: the old file stays as it was.
    void abandon();

private:
    Output() = default;
    bool flush();

    std::unique_ptr<QSaveFile> file_;
    QString path_;
    QByteArray buffer_;
    QString failure_;
    bool pipeClosed_ = false;
};
