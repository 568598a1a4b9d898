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

// Splits the text into pieces; nullopt when it is malformed.
std::optional<std::vector<Piece>> splitPieces(const QString& text) {
    std::vector<Piece> pieces;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(u'=', i);
        const qsizetype semicolon = text.indexOf(u';', i);
        if (semicolon >= 0 && (equals < 0 || semicolon < equals)) {
            // A piece without "=": only blanks may stand there.
            if (!text.mid(i, semicolon - i).trimmed().isEmpty())
                return std::nullopt;
            i = semicolon + 1;
            continue;
        }
        if (equals < 0) {
            if (!text.mid(i).trimmed().isEmpty())
                return std::nullopt;
            break;
        }
        Piece piece;
        piece.key = text.mid(i, equals - i).trimmed();
        if (piece.key.isEmpty())
            return std::nullopt;
        qsizetype v = equals + 1;
        if (v < n && text[v] == u'{') {
            qsizetype j = v + 1;
            QString value;
            for (;;) {
                if (j >= n)
                    return std::nullopt; // unclosed brace
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
                return std::nullopt;
            i = after + 1;
        } else {
            const qsizetype end = semicolon < 0 ? n : semicolon;
            piece.rawValue = text.mid(v, end - v);
            piece.value = piece.rawValue;
            i = end + 1;
        }
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

} // namespace

QString QuoteConnectionValue(const QString& value) {
    if (!needsBraces(value))
        return value;
    QString quoted = value;
    quoted.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + quoted + u'}';
}

std::optional<ConnectionPairs> ParseConnectionString(const QString& text) {
    const auto pieces = splitPieces(text);
    if (!pieces)
        return std::nullopt;
    ConnectionPairs pairs;
    for (const Piece& piece : *pieces)
        pairs.emplace_back(piece.key, piece.value);
    return pairs;
}

QString NormalizeConnectionString(const QString& text) {
    const auto pieces = splitPieces(text);
    if (!pieces)
        return text;
    QString out;
    for (const Piece& piece : *pieces) {
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
