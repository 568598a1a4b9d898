#pragma once

#include <optional>

// The program's name, version and desktop entry, as the platform should know them.
void SetApplicationIdentity();

// Answers --help and --version, and refuses anything it does not know, without opening a window
// or touching local.cfg. Gives the exit status when the program should end here; nothing when it
// should start (no options, or only the toolkit's own, such as -platform).
std::optional<int> HandleCommandLine(int argc, char* argv[]);
