#include "config.h"

#include "settingsfile.h"
#include "userhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace config {

namespace {

using Names = std::array<QByteArray, kTableSize>;
using Values = std::array<QByteArray, kTableSize>;

QString configPathOverride;

// ASCII-only upper case: bytes of other encodings stay as they are, so a name is never mangled.
QByteArray asciiUpper(const QByteArray& text) {
    QByteArray out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool isOwnName(const QByteArray& upperName) {
    return upperName == "DBUSER" || upperName == "DBPASS";
}

bool holdsLineBreak(const QByteArray& text) {
    return text.contains('\r') || text.contains('\n');
}

// Updates the slot of that name or takes the first free one; false when there is no room.
bool store(Names& names, Values& values, const QByteArray& name, const QByteArray& value) {
    if (name.isEmpty())
        return false;
    const QByteArray wanted = asciiUpper(name);
    for (int k = 1; k < kTableSize; ++k) {
        if (!names[k].isEmpty() && asciiUpper(names[k]) == wanted) {
            values[k] = value;
            return true;
        }
    }
    const int last = isOwnName(wanted) ? kTableSize - 1 : kSlotCount;
    for (int k = 1; k <= last; ++k) {
        if (names[k].isEmpty()) {
            names[k] = wanted;
            values[k] = value;
            return true;
        }
    }
    return false; // all slots are taken by other names: the setting is dropped
}

// Gives how many settings found no room.
int parse(Names& names, Values& values, const QByteArray& fileBytes) {
    int dropped = 0;
    qsizetype lineStart = 0;
    const qsizetype size = fileBytes.size();
    while (lineStart < size) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < size && fileBytes[lineEnd] != '\r' && fileBytes[lineEnd] != '\n')
            ++lineEnd;
        const QByteArray line = fileBytes.mid(lineStart, lineEnd - lineStart);
        qsizetype next = lineEnd + 1;
        if (lineEnd < size && fileBytes[lineEnd] == '\r' && next < size && fileBytes[next] == '\n')
            ++next;
        lineStart = next;

        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !store(names, values, line.left(equals), line.mid(equals + 1)))
            ++dropped;
    }
    return dropped;
}

QByteArray serialize(const Names& names, const Values& values) {
    QByteArray out;
    for (int k = 1; k < kTableSize; ++k) {
        if (names[k].isEmpty())
            continue;
        out += names[k];
        out += '=';
        out += values[k];
        out += "\r\n";
    }
    return out;
}

Status failure(const QString& path, const QString& reason) {
    return Status::failure(QStringLiteral("Linetally could not save its settings to %1: %2.")
                               .arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

QByteArray Settings::getBytes(const QByteArray& name) const {
    const QByteArray wanted = asciiUpper(name);
    for (int k = 1; k < kTableSize; ++k) {
        if (!names_[k].isEmpty() && asciiUpper(names_[k]) == wanted)
            return values_[k];
    }
    return {};
}

QString Settings::get(const QString& name) const {
    return QString::fromLocal8Bit(getBytes(name.toLocal8Bit()));
}

void Settings::setBytes(const QByteArray& name, const QByteArray& value) {
    if (!store(names_, values_, name, value))
        return;
    const QByteArray upper = asciiUpper(name);
    if (!changed_.contains(upper))
        changed_ << upper;
}

int Settings::loadFromBytes(const QByteArray& fileBytes) {
    return parse(names_, values_, fileBytes);
}

QByteArray Settings::serialize() const {
    return config::serialize(names_, values_);
}

void Settings::clear() {
    *this = Settings();
}

Settings& ProgramSettings() {
    static Settings settings;
    return settings;
}

QByteArray GetConfigBytes(const QByteArray& name) {
    return ProgramSettings().getBytes(name);
}

void SetConfigBytes(const QByteArray& name, const QByteArray& value) {
    ProgramSettings().setBytes(name, value);
}

QString GetConfig(const QString& name) {
    return ProgramSettings().get(name);
}

void SetConfig(const QString& name, const QString& value) {
    SetConfigBytes(name.toLocal8Bit(), value.toLocal8Bit());
}

QString DatabaseOwnerAccount(const Settings& settings) {
    const QString named = settings.get(QStringLiteral("DBOWNER")).trimmed();
    return named.isEmpty() ? QStringLiteral("postgres") : named;
}

bool FitsOnOneLine(const QString& value) {
    return !value.contains(u'\r') && !value.contains(u'\n');
}

void LoadConfigFromBytes(const QByteArray& fileBytes) {
    (void)ProgramSettings().loadFromBytes(fileBytes); // what found no room, the next save says
}

QByteArray SerializeConfig() {
    return ProgramSettings().serialize();
}

void ClearConfig() {
    ProgramSettings().clear();
}

QString PerUserConfigFolder(const QString& xdgConfigHome, const QString& home) {
    const QString base = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
                             ? xdgConfigHome
                             : QDir(home).filePath(QStringLiteral(".config"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("linetally")));
}

bool IsInstalledCopy(const QString& executableFolder) {
    const QDir bin(executableFolder);
    return bin.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(bin.filePath(QStringLiteral("../share/applications/")) +
                             QLatin1String(kDesktopEntryName));
}

namespace {

struct DefaultLocation {
    QString path;
    bool perUser = false; // in the user's configuration folder, which may not exist yet
};

// Beside the executable, unless the copy is installed and has no local.cfg there. Worked out
// once, so that the load and every save of a run use the same file.
const DefaultLocation& defaultLocation() {
    static const DefaultLocation location = [] {
        const QString folder = QCoreApplication::applicationDirPath();
        const QString beside = QDir(folder).filePath(QStringLiteral("local.cfg"));
        const QFileInfo there(beside);
        if (there.exists() || there.isSymLink() || !IsInstalledCopy(folder))
            return DefaultLocation{beside, false};
        const QString own =
            PerUserConfigFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), UserHomeFolder());
        return DefaultLocation{QDir(own).filePath(QStringLiteral("local.cfg")), true};
    }();
    return location;
}

// The user's configuration folder is made on first use, readable by its owner only; any
// other folder must already be there.
Status makeFolderFor(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!configPathOverride.isEmpty() || !defaultLocation().perUser || QFileInfo::exists(folder))
        return {};
    if (!QDir().mkpath(folder))
        return Status::failure(
            QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return {};
}

} // namespace

QString ConfigFilePath() {
    if (!configPathOverride.isEmpty())
        return configPathOverride;
    return defaultLocation().path;
}

void SetConfigFilePath(const QString& path) {
    configPathOverride = path;
}

Status SettingsTrust() {
    const QString path = ConfigFilePath();
    if (configPathOverride.isEmpty() && defaultLocation().perUser && !QDir::isAbsolutePath(path))
        return Status::failure(
            QStringLiteral("Linetally will not use the settings file %1: HOME or XDG_CONFIG_HOME "
                           "is not an absolute path, so where it is depends on the working "
                           "folder.")
                .arg(QDir::toNativeSeparators(path)));
    const Status trusted = CheckSettingsTrust(path);
    if (!trusted)
        return Status::failure(QStringLiteral("Linetally will not use the settings file %1: %2.")
                                   .arg(QDir::toNativeSeparators(path), trusted.reason()));
    return {};
}

void LoadConfig() {
    // Whatever is not a readable plain file yields no settings; the next save says why.
    if (!SettingsTrust())
        return;
    // A file too large to read whole yields the settings it could read; the next save says why
    // it leaves the file alone.
    const Result<QByteArray> read = ReadSettingsFile(ConfigFilePath());
    LoadConfigFromBytes(read.value);
}

Status SaveConfig(std::chrono::milliseconds lockWait) {
    Settings& settings = ProgramSettings();
    const QString path = ConfigFilePath();
    for (const QByteArray& name : settings.changedNames()) {
        if (holdsLineBreak(GetConfigBytes(name)))
            return failure(path, QStringLiteral("the value of %1 holds a line break, which the "
                                                "file cannot keep, so nothing was written")
                                     .arg(QString::fromLocal8Bit(name)));
    }

    if (const Status trusted = SettingsTrust(); !trusted)
        return trusted;

    // Another copy saving at the same time waits: each reads what the other wrote.
    const SettingsFolderLock lock(path, lockWait);
    if (!lock.held())
        return failure(path, QStringLiteral("another program has held its folder for %1 seconds, "
                                            "so it is left as it is")
                                 .arg(double(lockWait.count()) / 1000.0));
    const Result<QByteArray> current = ReadSettingsFile(path);
    if (!current)
        return failure(path, current.reason());
    // Only rewriting in the normal form was asked for: a read-only file stays as it is.
    if (settings.changedNames().isEmpty() && IsReadOnlySettingsFile(path))
        return {};

    // What is in the file now, with this copy's own changes written over it.
    Settings merged;
    if (const int dropped = merged.loadFromBytes(current.value); dropped > 0)
        return failure(path, QStringLiteral("it holds %1 more settings than the %2 Linetally "
                                            "keeps, which a save would drop, so it is left as "
                                            "it is")
                                 .arg(dropped)
                                 .arg(kSlotCount));
    for (const QByteArray& name : settings.changedNames())
        merged.setBytes(name, settings.getBytes(name));

    Status written = makeFolderFor(path);
    if (written)
        written = ReplaceSettingsFile(path, merged.serialize());
    if (!written)
        return failure(path, written.reason());
    merged.forgetChanges();
    settings = std::move(merged);
    return {};
}

} // namespace config
