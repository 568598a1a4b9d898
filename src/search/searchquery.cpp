#include "searchquery.h"

#include "textforms.h"

namespace {
const QString kSelect =
    QStringLiteral("SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE ");
}

SearchQuery BuildSearchQuery(const SearchChoices& choices) {
    SearchQuery query;
    const QString& number = choices.searchNumber;
    if (choices.direction == QLatin1String("From")) {
        query.statement = kSelect + QStringLiteral("from_no=?");
        query.parameters << number;
    }
    if (choices.direction == QLatin1String("To")) {
        query.statement = kSelect + QStringLiteral("to_no=?");
        query.parameters << number;
    }
    if (choices.direction == QLatin1String("Both")) {
        query.statement = kSelect + QStringLiteral("(to_no=? or from_no=?)");
        query.parameters << number << number;
    }
    query.statement += QStringLiteral(" AND (date(starttime) = ?)");
    query.parameters << TextForms::DateTextToIso(choices.dateText);
    return query;
}
