#pragma once

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

// The process holds the database password in memory (the settings, connection strings, the
// driver's buffers): no core dump may write it to disk, and no other process of the user may
// read its memory, as password managers do.
inline void KeepMemoryPrivate() {
#ifdef Q_OS_LINUX
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
#ifndef __SANITIZE_ADDRESS__
    // (A sanitizer build stays traceable: LeakSanitizer traces the process at its end.)
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
#endif
}
