#pragma once

#include <QString>

namespace NumCrunch {

// The ten ASCII digits of the text, in order; every other character is dropped.
QString DigitsOnly(const QString& text);

// Ten digits become 3-3-4 with dashes (5551234567 -> 555-123-4567). Any other text is returned
// unchanged, so a web search never looks for digits the operator did not see.
QString FormatPhoneNumber(const QString& digits);

} // namespace NumCrunch
