// What the settings file's readers on every system say when they leave a file alone.

#include "settingsfile.h"

namespace config {

Status NotAPlainFile(const QString& whatItIs) {
    return Status::failure(
        QStringLiteral("it is %1, not a plain file, and Linetally neither follows nor replaces it")
            .arg(whatItIs));
}

Status UnreadableFile(const QString& systemReason) {
    return Status::failure(
        QStringLiteral("it could not be read (%1), so it is left as it is").arg(systemReason));
}

Status TooLargeFile() {
    return Status::failure(QStringLiteral("it is larger than %1 MiB, far more than settings "
                                          "need, so it is left as it is")
                               .arg(kMaxSettingsFileSize / (1024 * 1024)));
}

} // namespace config
