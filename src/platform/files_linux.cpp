#include "files.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>

namespace platform {

int CreateUniqueFile(QByteArray& pathTemplate, int suffixLength) {
    return ::mkostemps(pathTemplate.data(), suffixLength, O_CLOEXEC);
}

bool ClaimRoom(int fd, qint64 bytes) {
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes)) == 0 || errno == EOPNOTSUPP ||
           errno == ENOSYS;
}

} // namespace platform
