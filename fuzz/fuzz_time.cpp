// Any text into the time helpers and the list's time forms: a finite number or a failure, never
// a crash or a hang; and a text the list keeps as a number comes back from it unchanged.
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
          TextForms::DurationSeconds(text)}) {
        if (result && !std::isfinite(*result))
            std::abort();
    }
    if (const auto seconds = TextForms::StartSecondsFromListText(text);
        seconds && TextForms::StartTimeText(*seconds) != text)
        std::abort();
    if (const auto seconds = TextForms::ExactDurationSeconds(QStringView(text));
        seconds && TextForms::DurationText(*seconds) != text)
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
