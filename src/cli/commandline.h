#pragma once

#include <optional>

// The program's command line, without a window: --help and --version, and the terminal reports
// (calls, summary, chart) and the credentials command. Nothing here touches Qt Widgets, so it
// runs over SSH on a host with no display.
namespace cli {

// What a command ends with.
enum ExitStatus {
    kDone = 0,
    kUsage = 2,
    kCannotConnect = 3,
    kStatementFailed = 4,
    kOutputFailed = 5,
};

// Runs the command the arguments name and gives its exit status; nothing when the window
// should start instead (no arguments, or only the toolkit's own, such as -platform).
std::optional<int> HandleCommandLine(int argc, char* argv[]);

} // namespace cli
