#include "samenumber.h"

#include <phonenumbers/phonenumberutil.h>

#include <QStringList>

#include <set>

namespace calls {

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

PhoneNumberUtil& util() {
    return *PhoneNumberUtil::GetInstance();
}

std::optional<PhoneNumber> parse(std::string_view text, const std::string& region) {
    PhoneNumber number;
    if (util().Parse(std::string(text), region, &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return std::nullopt;
    return number;
}

QByteArray keyOfNumber(const PhoneNumber& number) {
    std::string significant;
    util().GetNationalSignificantNumber(number, &significant);
    return QByteArray::number(number.country_code()) + ':' + QByteArray::fromStdString(significant);
}

} // namespace

Result<SameNumber> SameNumber::For(const QString& typed, const QString& region) {
    const std::string code = region.toUpper().toStdString();
    std::set<std::string> regions;
    util().GetSupportedRegions(&regions);
    if (!regions.count(code))
        return Failed<SameNumber>(
            QStringLiteral("%1: no region whose phone numbers can be read; give a two-letter "
                           "country code such as GB, US or DE")
                .arg(region));
    SameNumber same;
    same.typed_ = typed;
    same.typedUtf8_ = typed.toUtf8();
    same.region_ = code;
    const auto number = parse(same.typedUtf8_.toStdString(), code);
    // The length decides, not the number plan: ranges kept for examples and films (01632
    // 960xxx) and plans newer than the library's still name one line each.
    if (number && (util().IsValidNumber(*number) ||
                   util().IsPossibleNumberWithReason(*number) == PhoneNumberUtil::IS_POSSIBLE)) {
        same.key_ = keyOfNumber(*number);
        const QByteArray significant = same.key_.mid(same.key_.indexOf(':') + 1);
        same.lastDigits_ = QString::fromLatin1(significant.right(kNarrowingDigits));
    }
    return Succeeded(std::move(same));
}

QByteArray SameNumber::keyOf(QByteArrayView stored) const {
    const auto number = parse(std::string_view(stored.data(), size_t(stored.size())), region_);
    return number ? keyOfNumber(*number) : QByteArray();
}

bool SameNumber::matches(QByteArrayView stored) const {
    if (stored.isNull())
        return false;
    if (stored == QByteArrayView(typedUtf8_))
        return true;
    if (key_.isEmpty())
        return false;
    const QByteArray text = stored.toByteArray();
    if (const auto it = known_.constFind(text); it != known_.cend())
        return it.value();
    const bool same = keyOf(stored) == key_;
    known_.insert(text, same);
    return same;
}

std::optional<QString> RegionOfLocaleName(const QString& locale) {
    // language[_territory][.codeset][@modifier]
    QString name = locale.section(u'@', 0, 0).section(u'.', 0, 0);
    const qsizetype underscore = name.indexOf(u'_');
    if (underscore < 0)
        return std::nullopt;
    const QString territory = name.mid(underscore + 1);
    if (territory.size() != 2 || !territory.at(0).isLetter() || !territory.at(1).isLetter())
        return std::nullopt;
    return territory.toUpper();
}

QString ChooseRegion(const QString& setting, const QString& option, const QString& lcAll,
                     const QString& lcTelephone, const QString& lang) {
    if (!setting.trimmed().isEmpty())
        return setting.trimmed().toUpper();
    if (!option.trimmed().isEmpty())
        return option.trimmed().toUpper();
    for (const QString& locale : {lcAll, lcTelephone, lang}) {
        if (const auto region = RegionOfLocaleName(locale))
            return *region;
    }
    return {};
}

bool SameNumber::takesPart(QByteArrayView from, QByteArrayView to, Direction direction) const {
    switch (direction) {
    case Direction::From:
        return matches(from);
    case Direction::To:
        return matches(to);
    case Direction::Both:
        break;
    }
    return matches(from) || matches(to);
}

} // namespace calls
