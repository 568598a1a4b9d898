#pragma once

namespace platform {

// The process holds the database password in memory (the settings, connection strings, the
// driver's buffers): no core dump may write it to disk, and, where the system allows it, no
// other process of the user may read its memory, as password managers do.
void KeepMemoryPrivate();
// Whether the system lets KeepMemoryPrivate keep other processes of the user out.
bool KeepsMemoryFromOtherProcesses();

} // namespace platform
