// The implementation for systems without the POSIX calls of settingsfile_posix.cpp: Qt's own
// file classes. Links are still neither read nor replaced, and QSaveFile writes a new file and
// renames it over the old one, so a failed save leaves the old file as it was.

#include "settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace config {

namespace {

QString whatItIs(const QFileInfo& info) {
    if (info.isSymLink())
        return QStringLiteral("a symbolic link");
    if (info.isDir())
        return QStringLiteral("a folder");
    return QStringLiteral("not a plain file");
}

} // namespace

Result<QByteArray> ReadSettingsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Succeeded(QByteArray()); // a first start
    if (info.isSymLink() || !info.isFile())
        return {QByteArray(), NotAPlainFile(whatItIs(info))};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QByteArray(), UnreadableFile(file.errorString())};
    QByteArray bytes = file.read(kMaxSettingsFileSize + 1);
    if (bytes.size() > kMaxSettingsFileSize) {
        bytes.truncate(kMaxSettingsFileSize);
        bytes.truncate(qMax(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r')) + 1);
        return {bytes, TooLargeFile()};
    }
    return Succeeded(bytes);
}

// Ownership is not checked where there are no POSIX owners and modes.
Status CheckSettingsTrust(const QString&) {
    return {};
}

bool IsReadOnlySettingsFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink() && !info.isWritable();
}

SettingsFolderLock::SettingsFolderLock(const QString&, std::chrono::milliseconds) {}
SettingsFolderLock::~SettingsFolderLock() = default;

Status ReplaceSettingsFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return Status::failure(QStringLiteral("it is %1, not a plain file").arg(whatItIs(info)));
    if (IsReadOnlySettingsFile(path))
        return Status::failure(QStringLiteral("it is read-only, so it is left as it is"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Status::failure(file.errorString());
    return {};
}

} // namespace config
