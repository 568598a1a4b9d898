#pragma once

#include <QString>

namespace config {

// The user's home folder: HOME, or where the system's account says it is when HOME is not set
// (root from a service or cron), never the file system's root.
QString UserHomeFolder();

} // namespace config
