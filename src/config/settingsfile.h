#pragma once

#include <QByteArray>
#include <QString>

#include "result.h"

#include <chrono>

// Reading and replacing local.cfg without ever following a link, blocking on a pipe or device,
// or leaving a half-written file behind. The file holds the database password, so whatever is
// written is readable by its owner only.
namespace config {

// Far above any real settings file; a larger one is read this far and never rewritten.
inline constexpr qsizetype kMaxSettingsFileSize = 1024 * 1024;

// The whole file. Nothing there reads as no bytes: a first start. A link, folder, pipe, device or
// socket is left alone, and so is a file that could not be opened or read; the reason says so in
// words that follow "the file ..." ("it is a folder, not a plain file, ..."). A file larger than
// kMaxSettingsFileSize fails too, keeping its whole lines up to the limit as the partial value.
Result<QByteArray> ReadSettingsFile(const QString& path);

// The reasons ReadSettingsFile gives, the same on every system.
Status NotAPlainFile(const QString& whatItIs);
Status UnreadableFile(const QString& systemReason);
Status TooLargeFile();

// Refuses settings that someone else could have written, as ssh refuses its own files: the file
// and the folder that really holds it (links followed) must belong to the user or root and be
// writable by nobody else, and so must every folder above it unless it is sticky. A relative
// path is taken from the working folder. The failure names the file or folder at fault.
Status CheckSettingsTrust(const QString& path);

// True when the file is there and its owner made it read-only (or the user may not write it):
// a save then leaves it as it is, as it leaves a read-only folder.
bool IsReadOnlySettingsFile(const QString& path);

// Holds the settings file's folder for one copy of the program from its reading to its
// replacing, so that two copies saving at once do not lose one's change. Another copy (perhaps
// another user's) holding it longer than the wait leaves this one without the lock: held() is
// then false and nothing may be saved. Where the folder cannot be locked, nothing waits.
class SettingsFolderLock {
public:
    SettingsFolderLock(const QString& settingsPath, std::chrono::milliseconds wait);
    ~SettingsFolderLock();
    SettingsFolderLock(const SettingsFolderLock&) = delete;
    SettingsFolderLock& operator=(const SettingsFolderLock&) = delete;

    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = true;
};

// Writes bytes as the whole file. Where the folder allows, a new file is written beside the old
// one, flushed to disk and renamed over it, keeping the old file's owner where it can; where only
// the file itself is writable, it is rewritten in place. On failure the old file is left exactly
// as it was, except when rewriting in place fails part-way. A file its owner made read-only is
// left as it is. The program's own temporary files (.local.cfg.linetally-XXXXXX.tmp) that a save
// killed part-way left behind (they may hold the password) are removed first; nothing else is.
Status ReplaceSettingsFile(const QString& path, const QByteArray& bytes);

} // namespace config
