#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>

#include <memory>

// Where a report goes: standard output, a file, or a pipe or character device named on the
// command line. A file (or a name not yet taken) gets a new file written beside it and renamed
// over it only once the whole report is written, so that a failure never leaves half a file
// behind and a link at the name is replaced, never followed. A pipe or a character device
// (/dev/null) is written into as a shell's redirection would, never replaced. Anything else (a
// folder, a socket, a block device) is refused. Writes are buffered.
class Output {
public:
    // An empty path is standard output.
    static Result<std::unique_ptr<Output>> Open(const QString& path);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // False once a write failed; see pipeClosed() and finish().
    bool write(QByteArrayView bytes);
    bool write(const QByteArray& bytes) { return write(QByteArrayView(bytes)); }
    bool write(const QString& text) { return write(text.toUtf8()); }
    // The reader of standard output or of the named pipe went away (| head): the report ends
    // quietly.
    bool pipeClosed() const { return pipeClosed_; }
    // Writes what is buffered and, for a file, puts it in place.
    Status finish();
    // Drops a file's new contents: the old file stays as it was.
    void abandon();

private:
    Output() = default;
    bool flush();
    QString cannotWrite(const QString& reason) const;

    int fd_ = -1;          // the file, pipe or device being written; -1 for standard output
    QByteArray target_;    // the name given, as the system spells it
    QByteArray temporary_; // the new file that finish() renames over target_; empty otherwise
    QString path_;
    QByteArray buffer_;
    QString failure_;
    bool pipeClosed_ = false;
};
