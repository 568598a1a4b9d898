#include "memoryuse.h"

namespace platform {

// The C libraries of other systems give large blocks back themselves.
void ReturnFreedMemory() {}

} // namespace platform
