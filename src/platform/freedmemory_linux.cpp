#include "memoryuse.h"

#include <initializer_list>

#include <malloc.h>
#include <sys/resource.h>

namespace platform {

bool MemoryIsLimited() {
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            return true;
    }
    return false;
}

// The GNU C library keeps freed pages for itself until it is asked to give them back.
void ReturnFreedMemory() {
    ::malloc_trim(0);
}

} // namespace platform
