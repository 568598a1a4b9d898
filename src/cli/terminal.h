#pragma once

#include <QString>

#include <optional>

// What the command line needs of the terminal and the process, in one place: the only file of
// the command line with system calls in it.
namespace Terminal {

bool IsTerminal(int fd);
// A closed pipe must end the output quietly (a write then fails with EPIPE) rather than kill
// the process with SIGPIPE.
void IgnoreBrokenPipe();
// Whether the last failed write to standard output failed because its reader has gone.
bool LastWriteHitClosedPipe();
// Reads one line from standard input, without its line end; echo is off while it is typed at a
// terminal. Nothing at the end of the input.
std::optional<QString> ReadLine(bool secret);

} // namespace Terminal
