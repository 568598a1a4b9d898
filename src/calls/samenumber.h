#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include "result.h"
#include "searchquery.h"

#include <optional>

// One phone number however it is written: +44 1632 960777, 0044 1632 960777, 01632 960777 and
// (01632) 960-777 are the same number in the United Kingdom. Both the typed number and each
// stored one are read as a phone number of the region; two numbers are the same when their
// country code and national significant number are. A text too short or too long to be a phone
// number of its country, such as an extension or an emergency number, or no number at all, is
// the same only as itself, character for character.
namespace calls {

class SameNumber {
public:
    // The typed number and the region (an ISO 3166 code such as GB) to read numbers in; a
    // failure when the region is not one whose numbers can be read.
    static Result<SameNumber> For(const QString& typed, const QString& region);

    // True when the typed text reads as a phone number of the region, or of the country it
    // names with its country code, of a length that country's numbers have.
    bool isPhoneNumber() const { return !key_.isEmpty(); }
    // The digits every written form of the number ends with: the last digits of its national
    // significant number (letters typed count as their keypad digits). Empty when the typed
    // text is no phone number.
    const QString& lastDigits() const { return lastDigits_; }
    const QString& typed() const { return typed_; }

    bool matches(QByteArrayView stored) const;
    // Whether the number is on the given side of a call (either, for Both).
    bool takesPart(QByteArrayView from, QByteArrayView to, Direction direction) const;

private:
    QByteArray keyOf(QByteArrayView stored) const;

    QString typed_;
    QByteArray typedUtf8_;
    std::string region_;
    QByteArray key_; // country code and national significant number, "44:1632960777"
    QString lastDigits_;
    mutable QHash<QByteArray, bool> known_; // a report meets the same stored texts again
};

// The region a locale name such as en_GB.UTF-8 or de_DE@euro names; nothing for C, POSIX or a
// name without one.
std::optional<QString> RegionOfLocaleName(const QString& locale);

// The region to read numbers in: the setting, else the option, else the first of the locale
// variables (LC_ALL, LC_TELEPHONE, LANG) that names one. Empty when none does.
QString ChooseRegion(const QString& setting, const QString& option, const QString& lcAll,
                     const QString& lcTelephone, const QString& lang);

// How many trailing digits narrow a search at the server: enough to leave few strangers, few
// enough that every written form of a number ends with them.
inline constexpr int kNarrowingDigits = 6;

} // namespace calls
