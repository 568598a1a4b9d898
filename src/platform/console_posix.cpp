#include "console.h"

#include <cerrno>
#include <csignal>

#include <termios.h>
#include <unistd.h>

namespace platform {

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool LastWriteHitClosedPipe() {
    return errno == EPIPE;
}

struct HiddenTyping::Saved {
    termios settings{};
};

HiddenTyping::HiddenTyping() {
    auto saved = std::make_unique<Saved>();
    if (!IsTerminal(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved->settings) != 0)
        return;
    termios quiet = saved->settings;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0)
        saved_ = std::move(saved);
}

HiddenTyping::~HiddenTyping() {
    if (saved_)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_->settings);
}

} // namespace platform
