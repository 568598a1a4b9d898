#include "console.h"

#include <cerrno>

#include <io.h>
#include <windows.h>

namespace platform {

bool IsTerminal(int fd) {
    return ::_isatty(fd) != 0;
}

// Windows sends no signal for a closed pipe: the write fails with EINVAL or EPIPE.
void IgnoreBrokenPipe() {}

bool LastWriteHitClosedPipe() {
    return errno == EPIPE || errno == EINVAL;
}

struct HiddenTyping::Saved {
    HANDLE input = INVALID_HANDLE_VALUE;
    DWORD mode = 0;
};

HiddenTyping::HiddenTyping() {
    auto saved = std::make_unique<Saved>();
    saved->input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (saved->input == INVALID_HANDLE_VALUE || !::GetConsoleMode(saved->input, &saved->mode))
        return;
    if (::SetConsoleMode(saved->input, saved->mode & ~DWORD(ENABLE_ECHO_INPUT)))
        saved_ = std::move(saved);
}

HiddenTyping::~HiddenTyping() {
    if (saved_)
        ::SetConsoleMode(saved_->input, saved_->mode);
}

} // namespace platform
