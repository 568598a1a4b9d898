#include "privatememory.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace platform {

void KeepMemoryPrivate() {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
#ifndef __SANITIZE_ADDRESS__
    // (A sanitizer build stays traceable: LeakSanitizer traces the process at its end.)
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

bool KeepsMemoryFromOtherProcesses() {
    return true;
}

} // namespace platform
