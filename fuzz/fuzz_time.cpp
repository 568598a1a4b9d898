// Any text into both time helpers: a finite number or a failure, never a crash or a hang.
#include "timefunctions.h"

#include <QString>

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const auto result :
         {TimeFunctions::DurationToMinutes(text), TimeFunctions::TimeToMinuteOfDay(text)}) {
        if (result && !std::isfinite(*result))
            std::abort();
    }
    return 0;
}
