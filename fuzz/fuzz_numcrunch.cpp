// Any text: DigitsOnly keeps only ASCII digits, and FormatPhoneNumber dashes exactly ten.
#include "numcrunch.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString digits = NumCrunch::DigitsOnly(text);
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            std::abort();
    }
    const QString term = NumCrunch::FormatPhoneNumber(digits);
    if (digits.size() == 10 ? term.size() != 12 || QString(term).remove(QChar(u'-')) != digits
                            : term != digits)
        std::abort();
    return 0;
}
