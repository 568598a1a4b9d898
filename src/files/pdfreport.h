#pragma once

#include "reportfigures.h"
#include "result.h"

#include <QByteArray>
#include <QPageSize>

// The call report as a PDF: page one holds the period, the filter, the totals and the three
// charts; the pages after it the extensions and the numbers with the most calls. Every page
// carries its number and the time the report was made. Text is text, so that it can be
// searched and copied.
namespace files {

// Letter where the system's measurements are those of the United States, A4 elsewhere.
QPageSize LocalePaperSize();

// Needs a QGuiApplication (the offscreen platform will do).
Result<QByteArray> PdfReport(const ReportFigures& figures, const QPageSize& paper);

} // namespace files
