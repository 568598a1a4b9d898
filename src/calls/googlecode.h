#pragma once

#include "result.h"

#include <QString>
#include <QUrl>

namespace GoogleCode {

// The search page address for a number: its digits, dashed when there are ten, after a "+" when
// the number starts with one (an international number stays one).
QUrl SearchAddressForNumber(const QString& number);

// The address a lookup opens: the search page above, or, when the site names its own directory
// (lookupUrl, "%s" standing for the number), that address with the number as it is written. The
// number is percent-encoded either way. A directory address that is not an http or https address
// holding "%s" fails, with a reason that quotes it.
Result<QUrl> LookupAddressForNumber(const QString& number, const QString& lookupUrl);

} // namespace GoogleCode
