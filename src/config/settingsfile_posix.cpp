// The POSIX implementation: lstat and O_NOFOLLOW so that no link is followed, a unique file,
// fsync and rename for a replacement in one step, fchown to keep the owner, room claimed ahead
// where the system can, to find a full disk before the old file changes. Other systems build
// settingsfile_portable.cpp.

#include "settingsfile.h"

#include "files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace config {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString whatItIs(mode_t mode) {
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a plain file");
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens without following a link and without waiting for a pipe's writer; the caller checks
// what was opened.
int openNoFollow(const QByteArray& path, int access) {
    int fd;
    do {
        fd = ::open(path.constData(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, const QByteArray& bytes, off_t offset, bool positioned) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = positioned
                              ? ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                         offset + off_t(done))
                              : ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // makes the rename last; a folder that cannot be synced changes nothing
        ::close(fd);
    }
}

// The program's own temporary files beside local.cfg: .local.cfg.linetally-XXXXXX.tmp. The name
// is distinctive, so that no file of the user's own (a .local.cfg.backup) is ever taken for one.
constexpr char kTemporaryMark[] = ".linetally-";
constexpr char kTemporarySuffix[] = ".tmp";

QByteArray temporaryTemplate(const QByteArray& folder, const QByteArray& name) {
    return folder + "/." + name + kTemporaryMark + "XXXXXX" + kTemporarySuffix;
}

// Removes the temporary files a killed save of this user left beside the settings file. The
// folder lock keeps any other copy from writing one meanwhile.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& name) {
    const QString pattern =
        QFile::decodeName("." + name + kTemporaryMark + "??????" + kTemporarySuffix);
    const QDir dir(QFile::decodeName(folder));
    for (const QString& entry :
         dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray file = folder + "/" + QFile::encodeName(entry);
        struct stat found {};
        if (::lstat(file.constData(), &found) == 0 && S_ISREG(found.st_mode) &&
            found.st_uid == ::geteuid())
            ::unlink(file.constData());
    }
}

// Writes a new file beside the old one and renames it over it. When the folder does not allow a
// new file, createError holds the system's error and nothing was written.
Status replaceAtomically(const QByteArray& path, const QByteArray& folder, const QByteArray& name,
                         const struct stat* old, const QByteArray& bytes, int& createError) {
    QByteArray temporary = temporaryTemplate(folder, name);
    const int fd = platform::CreateUniqueFile(temporary, int(sizeof kTemporarySuffix - 1));
    if (fd < 0) {
        createError = errno;
        return Status::failure(systemReason(createError));
    }
    createError = 0;
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return Status::failure(systemReason(error));
    };
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        return fail(errno);
    if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
        // Only root may give a file away; anyone else keeps the file as their own.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0 && ::geteuid() == 0)
            return fail(errno);
    }
    if (!writeAll(fd, bytes, 0, false))
        return fail(errno);
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return Status::failure(systemReason(error));
    }
    // Something else may have taken the name meanwhile; never replace anything but a file.
    struct stat now {};
    if (::lstat(path.constData(), &now) == 0 && !S_ISREG(now.st_mode)) {
        ::unlink(temporary.constData());
        return Status::failure(
            QStringLiteral("it is now %1, not a plain file").arg(whatItIs(now.st_mode)));
    }
    if (::rename(temporary.constData(), path.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return Status::failure(systemReason(error));
    }
    syncFolder(folder);
    return {};
}

// Rewrites the file itself, for a writable file in a folder that does not allow a new one.
Status replaceInPlace(const QByteArray& path, const struct stat& old, const QByteArray& bytes) {
    const int fd = openNoFollow(path, O_WRONLY);
    if (fd < 0)
        return Status::failure(systemReason(errno));
    const auto fail = [fd](const QString& reason) {
        ::close(fd);
        return Status::failure(reason);
    };
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(opened, old))
        return fail(QStringLiteral("it changed while it was being saved"));
    // The file holds the password: one of our own becomes readable by us only before anything
    // is written; another user's that others may read is not given it at all.
    if (opened.st_uid == ::geteuid()) {
        if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
            return fail(systemReason(errno));
    } else if (opened.st_mode & (S_IRGRP | S_IROTH)) {
        return fail(QStringLiteral("it belongs to another user and others may read it, so the "
                                   "password is not written into it"));
    }
    // Claim the room first, so that a full disk is found before a byte of the old file changes.
    if (bytes.size() > opened.st_size && !platform::ClaimRoom(fd, bytes.size()))
        return fail(systemReason(errno));
    if (!writeAll(fd, bytes, 0, true))
        return fail(QStringLiteral("%1; the file may now be incomplete").arg(systemReason(errno)));
    if (::ftruncate(fd, off_t(bytes.size())) != 0 || ::fsync(fd) != 0)
        return fail(QStringLiteral("%1; the file may now be incomplete").arg(systemReason(errno)));
    if (::close(fd) != 0)
        return Status::failure(systemReason(errno));
    return {};
}

} // namespace

Result<QByteArray> ReadSettingsFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat found {};
    if (::lstat(native.constData(), &found) != 0) {
        if (errno == ENOENT)
            return Succeeded(QByteArray()); // a first start
        return {QByteArray(), UnreadableFile(systemReason(errno))};
    }
    if (!S_ISREG(found.st_mode))
        return {QByteArray(), NotAPlainFile(whatItIs(found.st_mode))};
    const int fd = openNoFollow(native, O_RDONLY);
    if (fd < 0) {
        const int error = errno;
        return {QByteArray(), error == ELOOP ? NotAPlainFile(whatItIs(S_IFLNK))
                                             : UnreadableFile(systemReason(error))};
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(opened, found)) {
        ::close(fd);
        return {QByteArray(),
                NotAPlainFile(QStringLiteral("something that changed while it was being read"))};
    }
    QByteArray bytes(kMaxSettingsFileSize + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + size, size_t(bytes.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return {QByteArray(), UnreadableFile(systemReason(error))};
        }
        if (n == 0)
            break;
        size += n;
    }
    ::close(fd);
    bytes.truncate(size);
    if (size > kMaxSettingsFileSize) {
        // Keep whole lines only, so that no setting is cut short.
        bytes.truncate(kMaxSettingsFileSize);
        const qsizetype lastEnd = qMax(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
        bytes.truncate(lastEnd + 1);
        return {bytes, TooLargeFile()};
    }
    return Succeeded(bytes);
}

namespace {

// Root may write anything: a file of one's own counts as read-only by its owner write bit alone.
bool isReadOnly(const QByteArray& path, const struct stat& file) {
    if (file.st_uid == ::geteuid())
        return !(file.st_mode & S_IWUSR);
    return ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0;
}

bool trustedOwner(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

QString ownerName(uid_t owner) {
    if (const passwd* account = ::getpwuid(owner); account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
    return QString::number(owner);
}

// Fails with why the file or folder could have been changed by someone else. Sticky folders
// (/tmp) above the settings may be shared: no one can rename another's entry.
Status trustworthy(const struct stat& found, bool mayBeSharedWhenSticky) {
    if (!trustedOwner(found.st_uid))
        return Status::failure(QStringLiteral("it belongs to %1").arg(ownerName(found.st_uid)));
    if (found.st_mode & (S_IWGRP | S_IWOTH)) {
        if (mayBeSharedWhenSticky && S_ISDIR(found.st_mode) && (found.st_mode & S_ISVTX))
            return {};
        return Status::failure(QStringLiteral("other users can write to it"));
    }
    return {};
}

Status badOwnershipOrModes(const QString& what, const QString& reason) {
    return Status::failure(
        QStringLiteral("bad ownership or modes for %1 (%2); only you or root may be able to "
                       "change the settings")
            .arg(QDir::toNativeSeparators(what), reason));
}

} // namespace

Status CheckSettingsTrust(const QString& path) {
    const QFileInfo info(path);
    const QByteArray file = QFile::encodeName(info.absoluteFilePath());
    struct stat found {};
    if (::lstat(file.constData(), &found) == 0 && S_ISREG(found.st_mode)) {
        if (const Status trusted = trustworthy(found, false); !trusted)
            return badOwnershipOrModes(info.absoluteFilePath(), trusted.reason());
    }
    // The folder that really holds the file, or the nearest one there is when it is still to
    // be made, and every folder above it.
    QString folder = info.absolutePath();
    bool settingsFolder = true;
    while (!QFileInfo::exists(folder) && folder != QDir::rootPath()) {
        folder = QFileInfo(folder).absolutePath();
        settingsFolder = false;
    }
    char* real = ::realpath(QFile::encodeName(folder).constData(), nullptr);
    if (!real)
        return Status::failure(QStringLiteral("%1 cannot be reached: %2")
                                   .arg(QDir::toNativeSeparators(folder), systemReason(errno)));
    QString current = QFile::decodeName(real);
    std::free(real);
    for (;;) {
        if (::stat(QFile::encodeName(current).constData(), &found) != 0)
            return Status::failure(
                QStringLiteral("%1 cannot be reached: %2")
                    .arg(QDir::toNativeSeparators(current), systemReason(errno)));
        if (const Status trusted = trustworthy(found, !settingsFolder); !trusted)
            return badOwnershipOrModes(current, trusted.reason());
        if (current == QDir::rootPath())
            return {};
        current = QFileInfo(current).absolutePath();
        settingsFolder = false;
    }
}

bool IsReadOnlySettingsFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat found {};
    return ::lstat(native.constData(), &found) == 0 && S_ISREG(found.st_mode) &&
           isReadOnly(native, found);
}

SettingsFolderLock::SettingsFolderLock(const QString& settingsPath,
                                       std::chrono::milliseconds wait) {
    const QByteArray folder = QFile::encodeName(QFileInfo(settingsPath).absolutePath());
    fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    // Polled rather than blocking, so that a lock another user never lets go of costs this copy
    // the wait and no more.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            return;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return; // a folder that cannot be locked holds nothing up
        if (std::chrono::steady_clock::now() >= deadline) {
            held_ = false;
            return;
        }
        const timespec pause{0, 10 * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

SettingsFolderLock::~SettingsFolderLock() {
    if (fd_ >= 0)
        ::close(fd_); // and so unlocked
}

Status ReplaceSettingsFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());

    struct stat old {};
    bool exists = false;
    if (::lstat(native.constData(), &old) == 0) {
        if (!S_ISREG(old.st_mode))
            return Status::failure(
                QStringLiteral("it is %1, not a plain file").arg(whatItIs(old.st_mode)));
        if (isReadOnly(native, old))
            return Status::failure(QStringLiteral("it is read-only, so it is left as it is"));
        exists = true;
    } else if (errno != ENOENT) {
        return Status::failure(systemReason(errno));
    }

    removeStaleTemporaries(folder, name);
    int createError = 0;
    const Status atomic =
        replaceAtomically(native, folder, name, exists ? &old : nullptr, bytes, createError);
    if (createError == 0)
        return atomic;
    const bool folderRefuses = createError == EACCES || createError == EPERM;
    if (!exists || !folderRefuses)
        return Status::failure(
            QStringLiteral("a new file cannot be written in %1 (%2)")
                .arg(QDir::toNativeSeparators(info.absolutePath()), systemReason(createError)));
    const Status inPlace = replaceInPlace(native, old, bytes);
    if (inPlace)
        return {};
    return Status::failure(
        QStringLiteral("neither the folder (%1) nor the file itself (%2) can be written")
            .arg(systemReason(createError), inPlace.reason()));
}

} // namespace config
