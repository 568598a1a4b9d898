#pragma once

#include <QByteArrayView>
#include <QStringView>

// One character of a text held either as UTF-16 or as the driver's bytes, so that one reader
// serves both forms: a byte is read as the Latin-1 character it stands for.
namespace TextChars {

inline char16_t at(QStringView text, qsizetype i) {
    return text[i].unicode();
}
inline char16_t at(QByteArrayView text, qsizetype i) {
    return char16_t(uchar(text[i]));
}

} // namespace TextChars
