#pragma once

#include <QString>

// What the command line needs of the terminal and the process, in one place: the only file of
// the command line with system calls in it.
namespace Terminal {

bool IsTerminal(int fd);
// A closed pipe must end the output quietly (a write then fails with EPIPE) rather than kill
// the process with SIGPIPE.
void IgnoreBrokenPipe();
// Whether the last failed write to standard output failed because its reader has gone.
bool LastWriteHitClosedPipe();
struct Line {
    enum class State {
        Read,    // text holds the line, without its line end
        Ended,   // standard input ended before a line
        TooLong, // the line is longer than allowed; the rest is left unread
    };
    State state = State::Ended;
    QString text;
};
// Reads one line of at most maxBytes bytes from standard input; echo is off while it is typed at
// a terminal. A longer line is not read whole: it stops at the limit.
Line ReadLine(bool secret, qsizetype maxBytes);

} // namespace Terminal
