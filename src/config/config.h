#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The program's settings: up to 100 name/value pairs kept in two parallel tables and stored in
// local.cfg beside the executable. Names and values are held as the file's own bytes, so loading
// and saving never re-encodes a value.
namespace config {

inline constexpr int kSlotCount = 100;

// Slot 0 is never used; slots 1..100 hold the settings. An empty name marks a free slot.
extern std::array<QByteArray, kSlotCount + 1> ConfigNames;
extern std::array<QByteArray, kSlotCount + 1> ConfigValues;

struct SaveResult {
    bool ok = true;
    QString message; // names the file and the system's reason when ok is false
};

void LoadConfig();
SaveResult SaveConfig();
QString GetConfig(const QString& name);
void SetConfig(const QString& name, const QString& value);

// Byte-level forms, used by the file reader and by callers that must not re-encode.
QByteArray GetConfigBytes(const QByteArray& name);
void SetConfigBytes(const QByteArray& name, const QByteArray& value);

// Applies the reading rules to the bytes of a settings file: one SetConfig per line of
// the form name=value (name non-empty). Lines end at CR LF, a lone CR or a lone LF.
void LoadConfigFromBytes(const QByteArray& fileBytes);
// The bytes SaveConfig writes: one NAME=value line per used slot, each ended by CR LF.
QByteArray SerializeConfig();

void ClearConfig();

QString ConfigFilePath();
// Lets tests keep local.cfg in a folder of their own; the program always uses the default.
void SetConfigFilePath(const QString& path);

} // namespace config
