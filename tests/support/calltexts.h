#pragma once

#include "calllistmodel.h"
#include "callrows.h"
#include "textforms.h"

#include <initializer_list>

// Listed calls from texts as a text column of the database would deliver them: the start as
// yyyy-MM-dd hh:mm:ss, the duration as hh:mm:ss. Each is held as a number where the list would
// hold one, and as its text otherwise; an empty text is a NULL.
inline CallRows CallsFromTexts(std::initializer_list<CallRow> calls) {
    CallRows rows;
    for (const CallRow& call : calls) {
        const QByteArray start = call.startTime.toUtf8();
        const QByteArray duration = call.duration.toUtf8();
        const auto seconds = TextForms::StartSecondsFromDriverText(start);
        const auto length = TextForms::StoredDurationSeconds(duration);
        rows.append(call.callFrom.toUtf8(), call.callTo.toUtf8(),
                    start.isEmpty() ? CallRows::kNoStart : seconds.value_or(CallRows::kStartIsText),
                    duration.isEmpty() ? CallRows::kNoDuration
                                       : length.value_or(CallRows::kDurationIsText),
                    call.startTime, call.duration);
    }
    return rows;
}
