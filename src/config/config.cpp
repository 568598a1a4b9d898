#include "config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace config {

std::array<QByteArray, kSlotCount + 1> ConfigNames;
std::array<QByteArray, kSlotCount + 1> ConfigValues;

namespace {

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

} // namespace

QByteArray GetConfigBytes(const QByteArray& name) {
    const QByteArray wanted = asciiUpper(name);
    for (int k = 1; k <= kSlotCount; ++k) {
        if (asciiUpper(ConfigNames[k]) == wanted && !ConfigNames[k].isEmpty())
            return ConfigValues[k];
    }
    return {};
}

void SetConfigBytes(const QByteArray& name, const QByteArray& value) {
    if (name.isEmpty())
        return;
    const QByteArray wanted = asciiUpper(name);
    for (int k = 1; k <= kSlotCount; ++k) {
        if (!ConfigNames[k].isEmpty() && asciiUpper(ConfigNames[k]) == wanted) {
            ConfigValues[k] = value;
            return;
        }
    }
    for (int k = 1; k <= kSlotCount; ++k) {
        if (ConfigNames[k].isEmpty()) {
            ConfigNames[k] = wanted;
            ConfigValues[k] = value;
            return;
        }
    }
    // All slots are taken by other names: the setting is dropped.
}

QString GetConfig(const QString& name) {
    return QString::fromLocal8Bit(GetConfigBytes(name.toLocal8Bit()));
}

void SetConfig(const QString& name, const QString& value) {
    SetConfigBytes(name.toLocal8Bit(), value.toLocal8Bit());
}

void LoadConfigFromBytes(const QByteArray& fileBytes) {
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
        if (equals > 0)
            SetConfigBytes(line.left(equals), line.mid(equals + 1));
    }
}

QByteArray SerializeConfig() {
    QByteArray out;
    for (int k = 1; k <= kSlotCount; ++k) {
        if (ConfigNames[k].isEmpty())
            continue;
        out += ConfigNames[k];
        out += '=';
        out += ConfigValues[k];
        out += "\r\n";
    }
    return out;
}

void ClearConfig() {
    for (int k = 0; k <= kSlotCount; ++k) {
        ConfigNames[k].clear();
        ConfigValues[k].clear();
    }
}

QString ConfigFilePath() {
    if (!configPathOverride.isEmpty())
        return configPathOverride;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("local.cfg"));
}

void SetConfigFilePath(const QString& path) {
    configPathOverride = path;
}

void LoadConfig() {
    QFile file(ConfigFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return; // a missing or unreadable file simply yields no settings
    LoadConfigFromBytes(file.readAll());
}

SaveResult SaveConfig() {
    const QString path = ConfigFilePath();
    // Written beside the old file and renamed over it, so a failure never leaves it truncated.
    QSaveFile file(path);
    const auto failure = [&path](const QString& reason) {
        return SaveResult{false, QStringLiteral("Linetally could not save its settings to %1: %2")
                                     .arg(QDir::toNativeSeparators(path), reason)};
    };
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    // The file holds the database password: owner-only access.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0)
        return failure(QString::fromLocal8Bit(strerror(errno)));
    const QByteArray bytes = SerializeConfig();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(reason);
    }
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

} // namespace config
