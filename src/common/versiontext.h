#pragma once

#include "version.h"

#include <QString>

// "v" and the major, minor and revision numbers of the program's version: v1.1.1.
inline QString VersionText() {
    return QStringLiteral("v%1.%2.%3")
        .arg(linetally::kVersionMajor)
        .arg(linetally::kVersionMinor)
        .arg(linetally::kVersionRevision);
}
