#include "peercheck.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// The connection of the database driver is made deep inside libpq, which the ODBC driver
// manager loads at run time: no option of either lets the program look at the socket between
// connecting and logging in. So this file defines connect() itself. The executable exports it
// (see CMakeLists.txt), and the dynamic linker gives it precedence over the C library's for
// every library, including those loaded later; it passes each call on to the next connect()
// and only looks further when this thread has a check armed.

namespace platform {

struct PeerCheck::Armed {
    quint16 port = 0;
    TrustedOwners trusted;
    std::chrono::milliseconds connectLimit{0};
    Status refusal;
};

namespace {

thread_local PeerCheck::Armed* armedCheck = nullptr;

// Where a socket ends: an IPv4 address is held in its IPv6 mapped form (::ffff:a.b.c.d), as a
// dual-stack listener sees it.
struct Endpoint {
    std::array<unsigned char, 16> address{};
    quint16 port = 0;
    bool operator==(const Endpoint&) const = default;
};

constexpr std::array<unsigned char, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

std::optional<Endpoint> endpointOf(const sockaddr* address, socklen_t length) {
    Endpoint endpoint;
    if (address && address->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
        sockaddr_in inet;
        std::memcpy(&inet, address, sizeof inet);
        std::memcpy(endpoint.address.data(), kMappedPrefix.data(), kMappedPrefix.size());
        std::memcpy(endpoint.address.data() + 12, &inet.sin_addr, 4);
        endpoint.port = ntohs(inet.sin_port);
        return endpoint;
    }
    if (address && address->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
        sockaddr_in6 inet6;
        std::memcpy(&inet6, address, sizeof inet6);
        std::memcpy(endpoint.address.data(), &inet6.sin6_addr, 16);
        endpoint.port = ntohs(inet6.sin6_port);
        return endpoint;
    }
    return std::nullopt;
}

bool isLoopback(const Endpoint& endpoint) {
    static constexpr std::array<unsigned char, 16> kIpv6Loopback = {0, 0, 0, 0, 0, 0, 0, 0,
                                                                    0, 0, 0, 0, 0, 0, 0, 1};
    const bool mapped =
        std::memcmp(endpoint.address.data(), kMappedPrefix.data(), kMappedPrefix.size()) == 0;
    return (mapped && endpoint.address[12] == 127) || endpoint.address == kIpv6Loopback;
}

// An address and port as the kernel's tables write them: the address as 32-bit words in the
// machine's byte order, each in hexadecimal (one word for IPv4, four for IPv6), then the port.
std::optional<Endpoint> parseTableEndpoint(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || (colon != 8 && colon != 32))
        return std::nullopt;
    Endpoint endpoint;
    unsigned char* bytes = endpoint.address.data();
    if (colon == 8) {
        std::memcpy(bytes, kMappedPrefix.data(), kMappedPrefix.size());
        bytes += 12;
    }
    for (size_t word = 0; word < colon / 8; ++word) {
        const std::string hex(text.substr(word * 8, 8));
        char* end = nullptr;
        const auto value = std::uint32_t(std::strtoul(hex.c_str(), &end, 16));
        if (end != hex.c_str() + 8)
            return std::nullopt;
        std::memcpy(bytes + word * 4, &value, 4);
    }
    const std::string port(text.substr(colon + 1));
    char* end = nullptr;
    const unsigned long number = std::strtoul(port.c_str(), &end, 16);
    if (port.empty() || *end != '\0' || number > 65535)
        return std::nullopt;
    endpoint.port = quint16(number);
    return endpoint;
}

std::string readWhole(const char* path) {
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            text.append(buffer, size_t(got));
    }
    ::close(fd);
    return text;
}

// The owner of the socket at the other end of a connection of this machine: the one whose own
// end is the server's address and whose far end is ours. A socket that accepted a connection
// belongs to the owner of its listener from the start, also while it waits to be accepted.
// Its entry is gone, or is a closed socket's (shown as root's), when nobody holds it any more.
std::optional<uint> ownerOfFarEnd(const Endpoint& server, const Endpoint& client) {
    constexpr std::string_view kTimeWait = "06";
    constexpr std::string_view kClose = "07";
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        const std::string text = readWhole(table);
        size_t lineStart = text.find('\n'); // after the header
        while (lineStart != std::string::npos && lineStart + 1 < text.size()) {
            const size_t lineEnd = text.find('\n', lineStart + 1);
            const std::string_view line(text.data() + lineStart + 1,
                                        (lineEnd == std::string::npos ? text.size() : lineEnd) -
                                            lineStart - 1);
            lineStart = lineEnd;
            // sl local remote state queues timer retransmits uid ...
            std::array<std::string_view, 8> fields;
            size_t field = 0;
            size_t at = 0;
            while (field < fields.size() && at < line.size()) {
                at = line.find_first_not_of(' ', at);
                if (at == std::string_view::npos)
                    break;
                const size_t end = std::min(line.find(' ', at), line.size());
                fields[field++] = line.substr(at, end - at);
                at = end;
            }
            if (field < fields.size() || parseTableEndpoint(fields[1]) != server ||
                parseTableEndpoint(fields[2]) != client)
                continue;
            if (fields[3] == kTimeWait || fields[3] == kClose)
                return std::nullopt;
            const std::string uid(fields[7]);
            char* end = nullptr;
            const unsigned long owner = std::strtoul(uid.c_str(), &end, 10);
            return end != uid.c_str() && *end == '\0' ? std::optional<uint>(uint(owner))
                                                      : std::nullopt;
        }
    }
    return std::nullopt;
}

bool isStreamSocket(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

// Waits for a connection started without blocking to be established; 0, or why it was not.
int awaitConnected(int fd, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd watched{fd, POLLOUT, 0};
        const int ready = ::poll(&watched, 1, int(std::min<long long>(left.count(), 1 << 30)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int failure = 0;
        socklen_t length = sizeof failure;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
            return errno;
        return failure;
    }
}

int nextConnect(int fd, const sockaddr* address, socklen_t length) {
    using Connect = int (*)(int, const sockaddr*, socklen_t);
    static const auto next = reinterpret_cast<Connect>(::dlsym(RTLD_NEXT, "connect"));
    return next ? next(fd, address, length) : int(::syscall(SYS_connect, fd, address, length));
}

std::optional<uint> uidOfAccount(const QString& name) {
    if (name.isEmpty())
        return std::nullopt;
    passwd entry;
    passwd* found = nullptr;
    std::array<char, 16384> buffer;
    if (::getpwnam_r(name.toLocal8Bit().constData(), &entry, buffer.data(), buffer.size(),
                     &found) != 0 ||
        !found)
        return std::nullopt;
    return uint(found->pw_uid);
}

QString nameOfUid(uint uid) {
    passwd entry;
    passwd* found = nullptr;
    std::array<char, 16384> buffer;
    if (::getpwuid_r(uid_t(uid), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QStringLiteral("unknown");
    return QString::fromLocal8Bit(found->pw_name);
}

} // namespace

bool ChecksConnectionPeers() {
    return true;
}

TrustedOwners TrustedOwnersWith(const QString& serviceAccount) {
    TrustedOwners trusted{{0, uint(::geteuid())}};
    if (const std::optional<uint> service = uidOfAccount(serviceAccount))
        trusted.uids.push_back(*service);
    return trusted;
}

Status JudgePeerOwner(std::optional<uint> owner, const TrustedOwners& trusted, quint16 port) {
    if (!owner)
        return Status::failure(
            QStringLiteral("Linetally did not send the database password: the program that took "
                           "the connection on port %1 of this machine could not be identified, "
                           "so it may not be the database service.")
                .arg(port));
    if (std::find(trusted.uids.begin(), trusted.uids.end(), *owner) != trusted.uids.end())
        return {};
    return Status::failure(
        QStringLiteral("Linetally did not send the database password: port %1 of this machine "
                       "is held by a program of the user %2 (uid %3), not by the database "
                       "service or by you.")
            .arg(port)
            .arg(nameOfUid(*owner))
            .arg(*owner));
}

PeerCheck::PeerCheck(quint16 port, const QString& serviceAccount,
                     std::chrono::milliseconds connectLimit)
    : armed_(std::make_unique<Armed>()), outer_(armedCheck) {
    armed_->port = port;
    armed_->trusted = TrustedOwnersWith(serviceAccount);
    armed_->connectLimit = connectLimit;
    armedCheck = armed_.get();
}

PeerCheck::~PeerCheck() {
    armedCheck = outer_;
}

Status PeerCheck::refusal() const {
    return armed_->refusal;
}

} // namespace platform

// Established connections to the checked port are let through only to a trusted owner. The
// caller sees a refusal as a failed connect() and closes the socket, on which nothing was sent.
extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    platform::PeerCheck::Armed* const check = platform::armedCheck;
    const int connected = platform::nextConnect(fd, address, length);
    if (!check)
        return connected;
    const int connectError = errno;
    const std::optional<platform::Endpoint> server = platform::endpointOf(address, length);
    if (!server || server->port != check->port || !platform::isLoopback(*server) ||
        !platform::isStreamSocket(fd)) {
        errno = connectError;
        return connected;
    }
    if (connected != 0) {
        if (connectError != EINPROGRESS && connectError != EINTR) {
            errno = connectError;
            return connected;
        }
        if (const int failure = platform::awaitConnected(fd, check->connectLimit); failure != 0) {
            errno = failure;
            return -1;
        }
    }
    sockaddr_storage own{};
    socklen_t ownLength = sizeof own;
    std::optional<platform::Endpoint> client;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0)
        client = platform::endpointOf(reinterpret_cast<const sockaddr*>(&own), ownLength);
    const std::optional<uint> owner =
        client ? platform::ownerOfFarEnd(*server, *client) : std::nullopt;
    if (Status judged = platform::JudgePeerOwner(owner, check->trusted, check->port); !judged) {
        if (check->refusal.ok())
            check->refusal = judged;
        errno = EACCES;
        return -1;
    }
    return 0;
}
