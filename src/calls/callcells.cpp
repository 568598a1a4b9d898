#include "callcells.h"

#include "textforms.h"

std::optional<CallMinutes> ChartedMinutesOf(qint64 start, std::optional<double> durationSeconds) {
    if (start == CallRows::kStartIsText || start == CallRows::kNoStart || !durationSeconds)
        return std::nullopt;
    return CallMinutesAt(TextForms::SecondOfDay(start) / 60, *durationSeconds / 60);
}

MinuteCells MinuteCellsOf(const CallRows& rows, QByteArrayView referenceNumber) {
    MinuteCellsBuilder cells;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (const auto covered = ChartedMinutesOf(rows.start(row), rows.durationSeconds(row)))
            cells.add(*covered, rows.callFrom(row) == referenceNumber);
    }
    return cells.cells();
}
