#include "googlecode.h"

#include "numcrunch.h"

namespace GoogleCode {

namespace {

const QString kNumberMark = QStringLiteral("%s");

QString encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QUrl SearchAddressForNumber(const QString& number) {
    QString term = NumCrunch::FormatPhoneNumber(NumCrunch::DigitsOnly(number));
    if (number.trimmed().startsWith(u'+'))
        term.prepend(u'+');
    // Unencoded, a "+" in a query would be read as a blank.
    return QUrl(QStringLiteral("https://www.google.com/search?hl=en&q=") + encoded(term) +
                    QStringLiteral("&btnG=Google+Search"),
                QUrl::StrictMode);
}

Result<QUrl> LookupAddressForNumber(const QString& number, const QString& lookupUrl) {
    if (lookupUrl.trimmed().isEmpty())
        return Succeeded(SearchAddressForNumber(number));
    const QString pattern = lookupUrl.trimmed();
    const QUrl address(QString(pattern).replace(kNumberMark, encoded(number.trimmed())),
                       QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!pattern.contains(kNumberMark) || !address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return Failed(QStringLiteral("The lookup address \"%1\" is not a web address (http or "
                                     "https) with %s where the number goes.")
                          .arg(lookupUrl),
                      QUrl());
    return Succeeded(address);
}

} // namespace GoogleCode
