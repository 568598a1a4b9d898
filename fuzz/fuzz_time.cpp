// Any text into the time helpers and the list's time forms: a finite number or a failure, never
// a crash or a hang. A duration kept as a number comes back unchanged, and the list, the talk
// time and the chart read every duration text alike.
#include "callrows.h"
#include "textforms.h"
#include "timefunctions.h"

#include <QString>

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    for (const auto result :
         {TimeFunctions::DurationToMinutes(text), TimeFunctions::TimeToMinuteOfDay(text),
          TimeFunctions::DurationToSeconds(bytes)}) {
        if (result && !std::isfinite(*result))
            std::abort();
    }
    // How the list stores the duration, and what it then reads back as its length.
    const auto stored = TextForms::StoredDurationSeconds(bytes);
    if (stored && TextForms::DurationText(*stored).toUtf8() != bytes)
        std::abort();
    CallRows rows;
    rows.append("1", "2", CallRows::kNoStart, stored.value_or(CallRows::kDurationIsText), {}, text);
    const auto listed = rows.durationSeconds(0);
    const auto charted = TimeFunctions::DurationToMinutes(text);
    if (QString::fromUtf8(bytes).toUtf8() == bytes &&
        (listed.has_value() != charted.has_value() ||
         (listed && std::abs(*listed - *charted * 60) > 1e-6 * std::max(1.0, std::abs(*listed)))))
        std::abort();
    // The driver's bytes and their text read alike.
    if (TextForms::StartSecondsFromDriverText(bytes) !=
            TextForms::StartSecondsFromDriverText(text) &&
        QString::fromUtf8(bytes).toUtf8() == bytes)
        std::abort();
    if (const auto seconds = TextForms::StartSecondsFromDriverText(bytes)) {
        if (*seconds < 0 || TextForms::FieldsOfStartSeconds(*seconds).year > 9999)
            std::abort();
    }
    return 0;
}
