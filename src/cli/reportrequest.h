#pragma once

#include "result.h"
#include "rowwriter.h"
#include "searchquery.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// What a report command was asked for, read from its options. Every mistake in them is a
// usage error whose text names the argument.
namespace cli {

enum class Grouping { Hour, Day, Extension, Number };

struct ReportRequest {
    ReportFilter filter;
    Format format = Format::Table;
    QString outputPath; // empty: standard output
    Grouping grouping = Grouping::Hour;
    int top = 20;
    bool raw = false; // every value exactly as stored, for programs
};

// The options every report command understands, and those of the one named.
void AddReportOptions(QCommandLineParser& parser, const QString& command);
// Reads them after parsing; a failure is the usage error to show.
Result<ReportRequest> ReadReportRequest(const QCommandLineParser& parser, const QString& command);
// A date as the command line takes it: yyyy-MM-dd, "today" or "yesterday".
Result<QDate> ReadDate(const QString& option, const QString& text);

} // namespace cli
