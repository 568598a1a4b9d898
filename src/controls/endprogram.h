#pragma once

#include <functional>

// Ends the process at once with status 0: no further handler, no save step. Callers return
// straight after it, so that a test's replacement (below) sees nothing more happen.
void EndProgram();

// Tests replace the ending so that a triggered exit is recorded instead of ending the test
// runner itself; processes that must really end are tested as separate programs.
void SetEndProgramHandlerForTesting(std::function<void()> handler);
