// Any user name and password (split at the first NUL byte): the working connection string,
// parsed back, holds exactly its six keys, with those two values unchanged.
#include "connectionstring.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString user = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString password = split < 0 ? QString() : QString::fromUtf8(bytes.mid(split + 1));

    const QString text = QStringLiteral("Driver={PostgreSQL Unicode}; Server=localhost; PORT=5480; "
                                        "Database=phonesystem; UID=") +
                         QuoteConnectionValue(user) + QStringLiteral("; PWD=") +
                         QuoteConnectionValue(password);
    const auto pairs = ParseConnectionString(text);
    const ConnectionPairs expected{{QStringLiteral("Driver"), QStringLiteral("PostgreSQL Unicode")},
                                   {QStringLiteral("Server"), QStringLiteral("localhost")},
                                   {QStringLiteral("PORT"), QStringLiteral("5480")},
                                   {QStringLiteral("Database"), QStringLiteral("phonesystem")},
                                   {QStringLiteral("UID"), user},
                                   {QStringLiteral("PWD"), password}};
    if (!pairs || pairs.value != expected)
        std::abort();
    return 0;
}
