#include "googlecode.h"

#include "numcrunch.h"

namespace GoogleCode {

QUrl SearchAddressForNumber(const QString& number) {
    const QString term = NumCrunch::FormatPhoneNumber(NumCrunch::DigitsOnly(number));
    // The term holds only digits and dashes, so nothing in it needs escaping.
    return QUrl(QStringLiteral("https://www.google.com/search?hl=en&q=") + term +
                    QStringLiteral("&btnG=Google+Search"),
                QUrl::StrictMode);
}

} // namespace GoogleCode
