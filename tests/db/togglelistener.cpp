// An impostor of the database server, run as another user by the tests: it listens on a port of
// 127.0.0.1 for OPEN_MS milliseconds, closes the port for CLOSED_MS, and so on (OPEN_MS 0: it
// never closes). Whoever connects is asked for a clear-text password, as a server may ask.
// It prints "listening" once it first listens, "received N" for every N bytes it is sent and
// "password TEXT" for every password it is given. It ends when its standard input ends.
// Plain POSIX, so that it runs from any folder as any user.
//
// Usage: togglelistener PORT OPEN_MS CLOSED_MS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Client {
    int fd;
    std::string pending;
    bool started = false; // the startup message has been read
};

std::uint32_t bigEndian32(const std::string& bytes, size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return ntohl(value);
}

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int openListener(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Plays the server's side of the start of a session: declines encryption, asks for the password
// in clear text, and reports it. False once the client is done with.
bool serve(Client& client) {
    for (;;) {
        if (!client.started) {
            if (client.pending.size() < 8)
                return true;
            const std::uint32_t length = bigEndian32(client.pending, 0);
            const std::uint32_t code = bigEndian32(client.pending, 4);
            if (length < 8 || length > 10000)
                return false;
            if (client.pending.size() < length)
                return true;
            client.pending.erase(0, length);
            if (code == 80877103 || code == 80877104) { // encryption requests
                if (::send(client.fd, "N", 1, MSG_NOSIGNAL) != 1)
                    return false;
                continue;
            }
            client.started = true;
            const unsigned char askClearText[] = {'R', 0, 0, 0, 8, 0, 0, 0, 3};
            if (::send(client.fd, askClearText, sizeof askClearText, MSG_NOSIGNAL) !=
                ssize_t(sizeof askClearText))
                return false;
            continue;
        }
        if (client.pending.size() < 5)
            return true;
        const std::uint32_t length = bigEndian32(client.pending, 1);
        if (length < 4 || length > 10000)
            return false;
        if (client.pending.size() < length + 1)
            return true;
        if (client.pending[0] == 'p')
            say("password " + std::string(client.pending.c_str() + 5));
        return false;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4)
        return 2;
    const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
    const auto openFor = std::chrono::milliseconds(std::atoi(argv[2]));
    const auto closedFor = std::chrono::milliseconds(std::atoi(argv[3]));
    int listener = openListener(port);
    if (listener < 0) {
        std::perror("listen");
        return 1;
    }
    say("listening");
    std::vector<Client> clients;
    Clock::time_point phaseEnds = Clock::now() + openFor;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (openFor.count() > 0 && now >= phaseEnds) {
            if (listener >= 0) {
                ::close(listener);
                listener = -1;
                phaseEnds = now + closedFor;
            } else {
                listener = openListener(port);
                phaseEnds = now + openFor;
            }
        }
        std::vector<pollfd> watched{{STDIN_FILENO, POLLIN, 0}};
        if (listener >= 0)
            watched.push_back({listener, POLLIN, 0});
        for (const Client& client : clients)
            watched.push_back({client.fd, POLLIN, 0});
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(phaseEnds - now);
        if (::poll(watched.data(), watched.size(),
                   openFor.count() > 0 ? int(std::max<long>(wait.count(), 0)) : -1) < 0)
            continue;
        if (watched[0].revents) {
            char ignored[64];
            if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0)
                return 0;
        }
        size_t next = 1;
        if (listener >= 0) {
            if (watched[next].revents & POLLIN) {
                int fd;
                while ((fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >=
                       0)
                    clients.push_back({fd, {}});
            }
            ++next;
        }
        std::vector<Client> kept;
        for (Client& client : clients) {
            bool open = true;
            if (next < watched.size() && watched[next].fd == client.fd && watched[next].revents) {
                char bytes[4096];
                const ssize_t got = ::read(client.fd, bytes, sizeof bytes);
                if (got > 0) {
                    say("received " + std::to_string(got));
                    client.pending.append(bytes, size_t(got));
                    open = serve(client);
                } else {
                    open = false;
                }
            }
            if (next < watched.size() && watched[next].fd == client.fd)
                ++next;
            if (open)
                kept.push_back(client);
            else
                ::close(client.fd);
        }
        clients.swap(kept);
    }
}
