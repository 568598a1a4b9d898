#include "privatememory.h"

#include <windows.h>

namespace platform {

// No crash dialog and no dump written by Windows Error Reporting for this process.
void KeepMemoryPrivate() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

bool KeepsMemoryFromOtherProcesses() {
    return false;
}

} // namespace platform
