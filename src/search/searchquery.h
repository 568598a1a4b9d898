#pragma once

#include <QString>
#include <QVariantList>

// One call-history statement: its text with "?" placeholders and the values bound to them.
struct SearchQuery {
    QString statement;
    QVariantList parameters;
};

// The operator's choices as the search controls hold them.
struct SearchChoices {
    QString direction;    // "To", "From", "Both"
    QString dateText;     // a date list entry, M/d/yyyy
    QString searchNumber; // the selected extension or the typed number
};

// The SELECT on public.callhistory2 for the choices. The number and the day are bound, never
// pasted into the text; the day goes as an ISO date. An unknown direction gives no head, so
// the statement starts with the date clause and the server rejects it.
SearchQuery BuildSearchQuery(const SearchChoices& choices);
