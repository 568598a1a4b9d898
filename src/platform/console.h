#pragma once

#include <memory>

// What the command line needs of the terminal and the process, for each system.
namespace platform {

bool IsTerminal(int fd);
// A closed pipe must end the output quietly (a write then fails) rather than kill the process.
void IgnoreBrokenPipe();
// Whether the last failed write to standard output failed because its reader has gone.
bool LastWriteHitClosedPipe();

// While alive, what is typed at the terminal on standard input is not shown; its end restores
// the terminal as it was. Nothing changes when standard input is not a terminal.
class HiddenTyping {
public:
    HiddenTyping();
    ~HiddenTyping();
    HiddenTyping(const HiddenTyping&) = delete;
    HiddenTyping& operator=(const HiddenTyping&) = delete;

    // Whether the echo was turned off.
    bool active() const { return saved_ != nullptr; }

    struct Saved; // the terminal's settings before, known to the system's own file only

private:
    std::unique_ptr<Saved> saved_;
};

} // namespace platform
