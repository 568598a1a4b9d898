#include "memoryuse.h"

#include <initializer_list>

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

} // namespace platform
