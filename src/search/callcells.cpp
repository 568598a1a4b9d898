#include "callcells.h"

#include "textforms.h"

MinuteCells MinuteCellsOf(const CallRows& rows, QByteArrayView referenceNumber) {
    MinuteCellsBuilder cells;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const qint64 start = rows.start(row);
        if (start == CallRows::kStartIsText || start == CallRows::kNoStart)
            continue;
        const auto seconds = rows.durationSeconds(row);
        if (!seconds)
            continue;
        if (const auto covered = CallMinutesAt(TextForms::SecondOfDay(start) / 60, *seconds / 60))
            cells.add(*covered, rows.callFrom(row) == referenceNumber);
    }
    return cells.cells();
}
