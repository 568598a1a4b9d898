#pragma once

namespace platform {

// Whether the process runs under a limit on its memory (ulimit -v or -d).
bool MemoryIsLimited();
// Gives the pages the C library keeps after a large free back to the system, where it keeps
// them.
void ReturnFreedMemory();

} // namespace platform
