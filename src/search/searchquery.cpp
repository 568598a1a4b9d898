#include "searchquery.h"

#include "textforms.h"

namespace {

const QString kSelect =
    QStringLiteral("SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE ");

// The condition on the number for a direction, "compared" naming the column as %1: one side,
// or "(to side or from side)", each with the value bound.
void addNumberClause(SearchQuery& query, Direction direction, const QString& compared,
                     const QString& value) {
    const QString to = compared.arg(QStringLiteral("to_no"));
    const QString from = compared.arg(QStringLiteral("from_no"));
    switch (direction) {
    case Direction::From:
        query.statement += from;
        query.parameters << value;
        return;
    case Direction::To:
        query.statement += to;
        query.parameters << value;
        return;
    case Direction::Both:
        query.statement += u'(' + to + QStringLiteral(" or ") + from + u')';
        query.parameters << value << value;
        return;
    }
}

const QString kExactly = QStringLiteral("%1=?");

// The stored text ends with the digits, whatever stands between them: blanks, dashes, dots or
// brackets. A plain LIKE costs the server little per row, where a function that rewrites the
// text first (translate, regexp_replace) costs several times as much.
const QString kDigitsLike = QStringLiteral("%1 LIKE ?");

} // namespace

SearchQuery BuildSearchQuery(const SearchChoices& choices) {
    SearchQuery query;
    const QString& number = choices.searchNumber;
    std::optional<Direction> direction;
    if (choices.direction == QLatin1String("From"))
        direction = Direction::From;
    if (choices.direction == QLatin1String("To"))
        direction = Direction::To;
    if (choices.direction == QLatin1String("Both"))
        direction = Direction::Both;
    if (direction) {
        query.statement = kSelect;
        addNumberClause(query, *direction, kExactly, number);
    }
    query.statement += QStringLiteral(" AND (date(starttime) = ?)");
    query.parameters << TextForms::DateTextToIso(choices.dateText);
    return query;
}

SearchQuery BuildReportQuery(const ReportFilter& filter) {
    SearchQuery query;
    query.statement = kSelect + QStringLiteral("date(starttime) BETWEEN ? AND ?");
    query.parameters << filter.first.toString(Qt::ISODate) << filter.last.toString(Qt::ISODate);
    if (filter.number) {
        query.statement += QStringLiteral(" AND ");
        if (!filter.endsWithDigits.isEmpty()) {
            // Only digits go into the pattern, each after a wildcard.
            QString pattern;
            for (const QChar c : filter.endsWithDigits) {
                if (c >= u'0' && c <= u'9')
                    pattern += u'%' + c;
            }
            addNumberClause(query, filter.direction, kDigitsLike, pattern);
        } else if (filter.digitsAnywhere) {
            // Only digits go into the pattern, so it holds none of LIKE's wildcards but its own.
            QString digits;
            for (const QChar c : *filter.number) {
                if (c >= u'0' && c <= u'9')
                    digits += c;
            }
            addNumberClause(query, filter.direction,
                            QStringLiteral("regexp_replace(%1::text, '[^0-9]', '', 'g') LIKE ?"),
                            QStringLiteral("%") + digits + QStringLiteral("%"));
        } else {
            addNumberClause(query, filter.direction, kExactly, *filter.number);
        }
    }
    query.statement += QStringLiteral(" ORDER BY starttime");
    return query;
}
