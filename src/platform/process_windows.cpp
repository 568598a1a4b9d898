#include "process.h"

namespace platform {

// The driver manager of Windows passes text as UTF-16: no locale is in the way.
void ReadCharactersAsUtf8() {}

// Qt's home folder is the profile folder the account names.
QString AccountHomeFolder() {
    return {};
}

} // namespace platform
