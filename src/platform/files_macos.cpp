#include "files.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int CreateUniqueFile(QByteArray& pathTemplate, int suffixLength) {
    return ::mkostemps(pathTemplate.data(), suffixLength, O_CLOEXEC);
}

// F_PREALLOCATE claims the room beyond the file's end without changing its size.
bool ClaimRoom(int fd, qint64 bytes) {
    struct stat now {};
    if (::fstat(fd, &now) != 0 || bytes <= now.st_size)
        return true;
    fstore_t store{F_ALLOCATEALL, F_PEOFPOSMODE, 0, off_t(bytes - now.st_size), 0};
    if (::fcntl(fd, F_PREALLOCATE, &store) == 0)
        return true;
    return errno != ENOSPC && errno != EDQUOT;
}

} // namespace platform
