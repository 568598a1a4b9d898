#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

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

    // Fails once a write failed, and from then on: the report stops there. finish() reports
    // the failure, or nothing when the reader went away.
    Status write(QByteArrayView bytes);
    Status write(const QByteArray& bytes) { return write(QByteArrayView(bytes)); }
    Status write(const QString& text) { return write(text.toUtf8()); }
    // Whether writes stopped because the reader of standard output or of the named pipe went
    // away (| head): the report ends quietly, with success.
    static bool ReaderWentAway(const Status& written);
    // Ok while writes go on; otherwise why they stopped.
    Status status() const { return status_; }
    // Writes what is buffered and, for a file, puts it in place.
    Status finish();
    // Drops a file's new contents: the old file stays as it was.
    void abandon();

private:
    Output() = default;
    Status flush();
    QString cannotWrite(const QString& reason) const;

    int fd_ = -1;          // the file, pipe or device being written; -1 for standard output
    QByteArray target_;    // the name given, as the system spells it
    QByteArray temporary_; // the new file that finish() renames over target_; empty otherwise
    QString path_;
    std::string buffer_; // kept at its size between writes: a report writes millions of lines
    Status status_;
};
