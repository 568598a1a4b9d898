// Any bytes as a settings file: no crash, and a save followed by a load gives back exactly the
// tables of the first load (a second start-up changes nothing further). The same bytes as a value
// go through a real save and load: they come back unchanged, or, when they hold a line break the
// file cannot keep, the save is refused and the file stays as it was.
#include "config.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void roundTripThroughFile(const QByteArray& value) {
    static const QString path = [] {
        const QString folder =
            QDir::temp().filePath(QStringLiteral("fuzz_config-%1").arg(getpid()));
        QDir().mkpath(folder);
        static const QString removeAtExit = folder;
        std::atexit([] { QDir(removeAtExit).removeRecursively(); });
        return folder + QStringLiteral("/local.cfg");
    }();
    config::SetConfigFilePath(path);
    config::ClearConfig();
    const QByteArray before = fileBytes(path);
    config::SetConfigBytes("DBPASS", value);
    const bool saved = config::SaveConfig().ok();
    if (value.contains('\r') || value.contains('\n')) {
        if (saved || fileBytes(path) != before)
            std::abort();
        return;
    }
    if (!saved)
        std::abort();
    config::ClearConfig();
    config::LoadConfig();
    if (config::GetConfigBytes("dbpass") != value)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    config::Settings loaded;
    (void)loaded.loadFromBytes(input); // settings without room are dropped, as at start-up
    const QByteArray saved = loaded.serialize();

    config::Settings again;
    (void)again.loadFromBytes(saved);
    if (again != loaded)
        std::abort();
    if (again.serialize() != saved)
        std::abort();

    roundTripThroughFile(input);
    return 0;
}
