#include "memoryuse.h"

namespace platform {

// A job object's limit is not read: the search reads whole, as without a limit.
bool MemoryIsLimited() {
    return false;
}

void ReturnFreedMemory() {}

} // namespace platform
