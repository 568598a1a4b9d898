#include "files.h"

#include <cerrno>
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

// The room is claimed by growing the file to its new size, which the write then fills: its
// old bytes stay as they are. A file system that cannot claim room ahead shows a full disk in
// the write itself.
bool ClaimRoom(int fd, qint64 bytes) {
    const int error = ::posix_fallocate(fd, 0, off_t(bytes));
    if (error == 0 || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS)
        return true;
    errno = error;
    return false;
}

} // namespace platform
