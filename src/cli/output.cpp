#include "output.h"

#include "terminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr qsizetype kBufferBytes = 256 * 1024;
constexpr char kTemporarySuffix[] = ".tmp";

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString whatItIs(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    return QStringLiteral("not a file");
}

bool writtenInto(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// The names a shell takes for its own open streams rather than for files.
std::optional<int> streamNumber(const QByteArray& path) {
    if (path == "/dev/stdout")
        return STDOUT_FILENO;
    if (path == "/dev/stderr")
        return STDERR_FILENO;
    if (path.startsWith("/dev/fd/")) {
        bool ok = false;
        const int number = path.mid(8).toInt(&ok);
        if (ok && number >= 0)
            return number;
    }
    return std::nullopt;
}

// As the kernel's protected_symlinks has it: a link in a sticky folder that anyone may write is
// followed only by its owner or the folder's owner. Checked here whether or not the kernel does.
bool mayNotFollow(const QByteArray& link, uid_t linkOwner) {
    struct stat folder {};
    const QByteArray folderPath = QFile::encodeName(QFileInfo(QFile::decodeName(link)).path());
    if (::stat(folderPath.constData(), &folder) != 0)
        return true;
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && linkOwner != ::geteuid() &&
           linkOwner != folder.st_uid;
}

// The first link on the way to the file (the file's own name excluded) that must not be
// followed; empty when there is none.
QByteArray forbiddenLinkOnTheWay(const QByteArray& absolutePath) {
    const QList<QByteArray> parts = absolutePath.split('/');
    QByteArray prefix;
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty())
            continue;
        prefix += '/' + parts[i];
        struct stat found {};
        if (::lstat(prefix.constData(), &found) == 0 && S_ISLNK(found.st_mode) &&
            mayNotFollow(prefix, found.st_uid))
            return prefix;
    }
    return {};
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

int openNoTty(const QByteArray& path, int flags) {
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

QString Output::cannotWrite(const QString& reason) const {
    return QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(path_), reason);
}

Result<std::unique_ptr<Output>> Output::Open(const QString& path) {
    std::unique_ptr<Output> output(new Output);
    output->buffer_.reserve(kBufferBytes + 4096);
    if (path.isEmpty()) {
        Terminal::IgnoreBrokenPipe();
        return Succeeded(std::move(output));
    }
    Output& out = *output;
    out.path_ = path;
    out.target_ = QFile::encodeName(path);
    const auto refuse = [&out](const QString& reason) {
        return Failed<std::unique_ptr<Output>>(out.cannotWrite(reason));
    };

    if (const std::optional<int> stream = streamNumber(out.target_)) {
        out.fd_ = ::fcntl(*stream, F_DUPFD_CLOEXEC, 3);
        if (out.fd_ < 0)
            return refuse(systemReason(errno));
        Terminal::IgnoreBrokenPipe();
        return Succeeded(std::move(output));
    }

    const QByteArray absolute = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    if (const QByteArray link = forbiddenLinkOnTheWay(absolute); !link.isEmpty())
        return refuse(QStringLiteral("%1 is a link in a shared folder that belongs to another "
                                     "user, and Linetally does not follow it")
                          .arg(QFile::decodeName(link)));

    struct stat found {};
    const bool exists = ::lstat(out.target_.constData(), &found) == 0;
    if (!exists && errno != ENOENT)
        return refuse(systemReason(errno));

    // A pipe or a character device, or a link to one, is written into; never replaced.
    bool throughLink = false;
    if (exists && S_ISLNK(found.st_mode)) {
        struct stat target {};
        if (::stat(out.target_.constData(), &target) == 0 && writtenInto(target.st_mode)) {
            if (mayNotFollow(absolute, found.st_uid))
                return refuse(QStringLiteral("it is a link in a shared folder that belongs to "
                                             "another user, and Linetally does not follow it"));
            throughLink = true;
        }
    }
    if (throughLink || (exists && writtenInto(found.st_mode))) {
        out.fd_ = openNoTty(out.target_, O_WRONLY | (throughLink ? 0 : O_NOFOLLOW));
        if (out.fd_ < 0)
            return refuse(systemReason(errno));
        struct stat opened {};
        if (::fstat(out.fd_, &opened) != 0 || !writtenInto(opened.st_mode))
            return refuse(QStringLiteral("it changed while it was being opened"));
        Terminal::IgnoreBrokenPipe();
        return Succeeded(std::move(output));
    }
    if (exists && !S_ISREG(found.st_mode) && !S_ISLNK(found.st_mode))
        return refuse(QStringLiteral("it is %1; give the name of a file, a pipe or a character "
                                     "device")
                          .arg(whatItIs(found.st_mode)));

    // A file, a link that is replaced, or a new name: a new file beside it.
    const QFileInfo info(QFile::decodeName(absolute));
    out.temporary_ = QFile::encodeName(info.path()) + "/." + QFile::encodeName(info.fileName()) +
                     ".linetally-XXXXXX" + kTemporarySuffix;
    out.fd_ = ::mkostemps(out.temporary_.data(), int(sizeof kTemporarySuffix - 1), O_CLOEXEC);
    if (out.fd_ < 0) {
        out.temporary_.clear();
        return refuse(systemReason(errno));
    }
    // The user's own file keeps the mode they gave it; anything else becomes a file of their
    // own with their usual mode, however open the file it replaces was.
    const bool ownFile = exists && S_ISREG(found.st_mode) && found.st_uid == ::geteuid();
    const mode_t mode = ownFile ? (found.st_mode & 0777) : (0666 & ~currentUmask());
    if (::fchmod(out.fd_, mode) != 0)
        return refuse(systemReason(errno));
    return Succeeded(std::move(output));
}

Output::~Output() {
    abandon();
}

namespace {
const QString kReaderWentAway = QStringLiteral("the reader went away");
} // namespace

bool Output::ReaderWentAway(const Status& written) {
    return !written && written.reason() == kReaderWentAway;
}

Status Output::write(QByteArrayView bytes) {
    if (!status_)
        return status_;
    buffer_.append(bytes.data(), size_t(bytes.size()));
    return qsizetype(buffer_.size()) < kBufferBytes ? Status() : flush();
}

Status Output::flush() {
    if (buffer_.empty() || !status_)
        return status_;
    if (fd_ >= 0) {
        if (!writeAll(fd_, buffer_.data(), qsizetype(buffer_.size()))) {
            if (temporary_.isEmpty() && Terminal::LastWriteHitClosedPipe())
                status_ = Status::failure(kReaderWentAway);
            else
                status_ = Status::failure(cannotWrite(systemReason(errno)));
            return status_;
        }
    } else if (std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size() ||
               std::fflush(stdout) != 0) {
        if (Terminal::LastWriteHitClosedPipe())
            status_ = Status::failure(kReaderWentAway);
        else
            status_ = Status::failure(QStringLiteral("standard output cannot be written"));
        return status_;
    }
    buffer_.clear();
    return {};
}

Status Output::finish() {
    // A failed flush stays in status_, reported here, except that a closed pipe ends the report
    // quietly.
    (void)flush();
    if (ReaderWentAway(status_)) {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
        return {};
    }
    if (!status_) {
        abandon();
        return status_;
    }
    if (fd_ < 0)
        return {};
    if (temporary_.isEmpty()) {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0 && errno != EINTR)
            return Status::failure(cannotWrite(systemReason(errno)));
        return {};
    }
    const auto fail = [this](const QString& reason) {
        abandon();
        return Status::failure(cannotWrite(reason));
    };
    if (::fsync(fd_) != 0)
        return fail(systemReason(errno));
    if (::close(std::exchange(fd_, -1)) != 0)
        return fail(systemReason(errno));
    // Something else may have taken the name meanwhile: only a file or a link is replaced.
    struct stat now {};
    if (::lstat(target_.constData(), &now) == 0 && !S_ISREG(now.st_mode) && !S_ISLNK(now.st_mode))
        return fail(
            QStringLiteral("it is now %1, which is not replaced").arg(whatItIs(now.st_mode)));
    if (::rename(temporary_.constData(), target_.constData()) != 0)
        return fail(systemReason(errno));
    temporary_.clear();
    return {};
}

void Output::abandon() {
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.isEmpty()) {
        ::unlink(temporary_.constData());
        temporary_.clear();
    }
}
