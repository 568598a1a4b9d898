#pragma once

#include <QByteArray>
#include <QString>

#include "result.h"

#include <QList>

#include <array>
#include <chrono>

// The program's settings: up to 100 name/value pairs kept in two parallel tables and stored in
// local.cfg. Names and values are held as the file's own bytes, so loading and saving never
// re-encodes a value.
namespace config {

inline constexpr int kSlotCount = 100;
// The program's own two settings, the database user name and password, always have room: when
// the hundred slots are taken by other names they go into the two slots after them.
inline constexpr int kOwnSlotCount = 2;
inline constexpr int kTableSize = kSlotCount + kOwnSlotCount + 1;

// One set of settings as a value: the two tables (slot 0 is never used; slots 1..102 hold the
// settings; an empty name marks a free slot) and the names set since the last load or save.
// Names are matched without regard to ASCII case and stored upper-cased.
class Settings {
public:
    QByteArray getBytes(const QByteArray& name) const;
    // A value as text, in the system's 8-bit encoding as the file holds it.
    QString get(const QString& name) const;
    // A setting that finds no room (all slots taken by other names) is dropped.
    void setBytes(const QByteArray& name, const QByteArray& value);
    // Applies the reading rules to the bytes of a settings file (see LoadConfigFromBytes); gives
    // how many settings found no room.
    int loadFromBytes(const QByteArray& fileBytes);
    // The bytes of a settings file: one NAME=value line per used slot, each ended by CR LF.
    QByteArray serialize() const;
    void clear();
    // Upper-cased names set since the last load or save, in the order first set.
    const QList<QByteArray>& changedNames() const { return changed_; }
    void forgetChanges() { changed_.clear(); }

    bool operator==(const Settings&) const = default;

private:
    std::array<QByteArray, kTableSize> names_;
    std::array<QByteArray, kTableSize> values_;
    QList<QByteArray> changed_;
};

// The settings the program runs with, which the functions below read and change.
Settings& ProgramSettings();

// Loads nothing from a file someone else could have written (see SettingsTrust).
void LoadConfig();
// Rereads the file and writes the settings this copy has set since it last loaded or saved over
// what is there now, so that two copies running at once do not undo each other. A file that
// could not be read whole, or that is not a plain file, is left exactly as it is.
// A failure names the file and the reason. With nothing set since the load, a file its owner
// made read-only is left as it is and that is no failure: nothing was asked to be saved.
// Another copy holding the settings folder longer than lockWait leaves the file as it is.
inline constexpr std::chrono::milliseconds kFolderLockWait{5000};
Status SaveConfig(std::chrono::milliseconds lockWait = kFolderLockWait);
// Whether the settings file and its folders are safe to read: nobody but the user or root can
// change them, and the path does not hang on a relative HOME or XDG_CONFIG_HOME.
Status SettingsTrust();
QString GetConfig(const QString& name);
void SetConfig(const QString& name, const QString& value);
// The account the database service runs as, whose programs may be given the password: the
// DBOWNER setting, else "postgres".
QString DatabaseOwnerAccount(const Settings& settings = ProgramSettings());

// Byte-level forms, used by the file reader and by callers that must not re-encode.
QByteArray GetConfigBytes(const QByteArray& name);
void SetConfigBytes(const QByteArray& name, const QByteArray& value);

// True when the text can be stored as a value: local.cfg ends a setting at CR or LF.
bool FitsOnOneLine(const QString& value);

// Applies the reading rules to the bytes of a settings file: one setting per line of the form
// name=value (name non-empty). Lines end at CR LF, a lone CR or a lone LF.
void LoadConfigFromBytes(const QByteArray& fileBytes);
// The bytes SaveConfig writes: one NAME=value line per used slot, each ended by CR LF.
QByteArray SerializeConfig();

void ClearConfig();

// Where local.cfg is: beside the executable for a copy run from its own folder, or whenever a
// local.cfg is already there; in the user's own configuration folder for an installed copy
// (its executable in the bin folder of a prefix that holds the program's desktop entry), which
// the user cannot and should not write into.
QString ConfigFilePath();
// Lets tests keep local.cfg in a folder of their own; the program always uses the default.
void SetConfigFilePath(const QString& path);
// The per-user folder of the settings: $XDG_CONFIG_HOME/linetally when that is an absolute path
// (a relative one is invalid and ignored), else HOME/.config/linetally.
QString PerUserConfigFolder(const QString& xdgConfigHome, const QString& home);
// True when the executable sits in an installed tree: <prefix>/bin beside
// <prefix>/share/applications/<desktop entry>.
bool IsInstalledCopy(const QString& executableFolder);

// The region whose way of writing phone numbers applies (an ISO 3166 code such as GB), for
// telling one number however it is written.
inline constexpr char kRegionSetting[] = "REGION";
// Settings other than the credentials that the program reads (DBPORT, where the phone system's
// database listens, is with the database's address in db/serveraddress.h).
// LOOKUPURL: the web address of a number lookup, %s standing for the number.
inline constexpr char kLookupUrlName[] = "LOOKUPURL";

// The desktop entry's name, which also names the program's icons and metadata.
inline constexpr char kDesktopEntryName[] = "org.linetally.Linetally.desktop";

} // namespace config
