#include "numcrunch.h"

namespace NumCrunch {

QString DigitsOnly(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    return digits;
}

QString FormatPhoneNumber(const QString& digits) {
    if (digits.size() != 10)
        return digits;
    return digits.left(3) + u'-' + digits.mid(3, 3) + u'-' + digits.right(4);
}

} // namespace NumCrunch
