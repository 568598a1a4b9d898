#include "privatememory.h"

#include <sys/resource.h>

namespace platform {

// Core dumps are off; whether a debugger of the same user may attach is the system's choice.
void KeepMemoryPrivate() {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

bool KeepsMemoryFromOtherProcesses() {
    return false;
}

} // namespace platform
