#include "files.h"

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

// No other thread of the program starts a process while the settings are written, so setting
// close-on-exec just after the file is made leaves no gap that matters.
int CreateUniqueFile(QByteArray& pathTemplate, int suffixLength) {
    const int fd = ::mkstemps(pathTemplate.data(), suffixLength);
    if (fd >= 0)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

// Without a way to claim room that keeps the size, a full disk shows in the write itself.
bool ClaimRoom(int, qint64) {
    return true;
}

} // namespace platform
