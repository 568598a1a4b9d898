#include "connectionstring.h"

namespace {

bool needsBraces(const QString& value) {
    // Blanks at the edges need no braces: the driver keeps a plain value exactly as written.
    return value.contains(u';') || value.contains(u'{') || value.contains(u'}');
}

struct Piece {
    QString key;
    QString rawValue; // as written, braces included
    QString value;    // as the driver reads it
};

// Splits the text into pieces; fails, saying where, when it is malformed. No value is quoted in
// the reason, since one may be the password.
Result<std::vector<Piece>> splitPieces(const QString& text) {
    using Pieces = std::vector<Piece>;
    std::vector<Piece> pieces;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(u'=', i);
        const qsizetype semicolon = text.indexOf(u';', i);
        if (semicolon >= 0 && (equals < 0 || semicolon < equals)) {
            // A piece without "=": only blanks may stand there.
            if (!text.mid(i, semicolon - i).trimmed().isEmpty())
                return Failed<Pieces>(QStringLiteral("a part has no \"=\""));
            i = semicolon + 1;
            continue;
        }
        if (equals < 0) {
            if (!text.mid(i).trimmed().isEmpty())
                return Failed<Pieces>(QStringLiteral("the last part has no \"=\""));
            break;
        }
        Piece piece;
        piece.key = text.mid(i, equals - i).trimmed();
        if (piece.key.isEmpty())
            return Failed<Pieces>(QStringLiteral("a value has no key"));
        qsizetype v = equals + 1;
        if (v < n && text[v] == u'{') {
            qsizetype j = v + 1;
            QString value;
            for (;;) {
                if (j >= n)
                    return Failed<Pieces>(
                        QStringLiteral("the value of %1 has no closing brace").arg(piece.key));
                if (text[j] == u'}') {
                    if (j + 1 < n && text[j + 1] == u'}') {
                        value += u'}';
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += text[j];
                ++j;
            }
            piece.rawValue = text.mid(v, j + 1 - v);
            piece.value = value;
            qsizetype after = j + 1;
            while (after < n && text[after] == u' ')
                ++after;
            if (after < n && text[after] != u';')
                return Failed<Pieces>(
                    QStringLiteral("text follows the closing brace of the value of %1")
                        .arg(piece.key));
            i = after + 1;
        } else {
            const qsizetype end = semicolon < 0 ? n : semicolon;
            piece.rawValue = text.mid(v, end - v);
            piece.value = piece.rawValue;
            i = end + 1;
        }
        pieces.push_back(std::move(piece));
    }
    return Succeeded(std::move(pieces));
}

} // namespace

QString QuoteConnectionValue(const QString& value) {
    if (!needsBraces(value))
        return value;
    QString quoted = value;
    quoted.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + quoted + u'}';
}

Result<ConnectionPairs> ParseConnectionString(const QString& text) {
    const auto pieces = splitPieces(text);
    if (!pieces)
        return Failed<ConnectionPairs>(pieces.reason());
    ConnectionPairs pairs;
    for (const Piece& piece : pieces.value)
        pairs.emplace_back(piece.key, piece.value);
    return Succeeded(std::move(pairs));
}

QString NormalizeConnectionString(const QString& text) {
    const auto pieces = splitPieces(text);
    if (!pieces)
        return text;
    QString out;
    for (const Piece& piece : pieces.value) {
        out += piece.key;
        out += u'=';
        out += piece.rawValue;
        out += u';';
    }
    return out;
}

QString ConnectionValue(const ConnectionPairs& pairs, const QString& key) {
    for (const auto& [name, value] : pairs) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}
