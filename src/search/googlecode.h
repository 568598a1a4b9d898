#pragma once

#include <QString>
#include <QUrl>

namespace GoogleCode {

// The search page address for a number: its digits, dashed when there are ten.
QUrl SearchAddressForNumber(const QString& number);

} // namespace GoogleCode
