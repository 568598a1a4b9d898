#include "endprogram.h"

#include <cstdlib>
#include <utility>

namespace {
std::function<void()> testHandler;
}

void EndProgram() {
    if (testHandler) {
        testHandler();
        return;
    }
    std::_Exit(0);
}

void SetEndProgramHandlerForTesting(std::function<void()> handler) {
    testHandler = std::move(handler);
}
