#include "sockets.h"

// This system does not tell which process holds which connection: the statement's own time
// limit ends a wait for a server that stopped answering, as the manual page says.

namespace platform {

std::vector<unsigned long> OwnSocketIds() {
    return {};
}

int NewSocketTo(quint16, const std::vector<unsigned long>&) {
    return -1;
}

void CutOff(int) {}

} // namespace platform
