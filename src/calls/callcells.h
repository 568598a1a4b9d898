#pragma once

#include "callrows.h"
#include "minutecells.h"

#include <QByteArrayView>

// The chart's cells for listed calls: each call with a real start time and a readable duration
// covers its minutes, on the from-track when its "Call From" number is exactly the reference
// number and on the to-track otherwise. A start that is kept as text (infinity, a date the
// driver could not write) is not drawn. The window's chart and the terminal's text chart both
// come from here.
MinuteCells MinuteCellsOf(const CallRows& rows, QByteArrayView referenceNumber);

// The minutes of its day one call covers on the chart, by the same rule: nothing for a start
// kept as text or a duration that cannot be read.
std::optional<CallMinutes> ChartedMinutesOf(qint64 start, std::optional<double> durationSeconds);
