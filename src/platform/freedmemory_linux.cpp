#include "memoryuse.h"

#include <malloc.h>

namespace platform {

// The GNU C library keeps freed pages for itself until it is asked to give them back.
void ReturnFreedMemory() {
    ::malloc_trim(0);
}

} // namespace platform
