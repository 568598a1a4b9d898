#pragma once

#include "result.h"
#include "rowwriter.h"
#include "samenumber.h"
#include "searchquery.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

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

    // --match number: each call the server finds by the last digits is confirmed against it.
    std::shared_ptr<const calls::SameNumber> sameNumber;
    // --talk: only the calls with talk time (true), or only those whose talk time is zero.
    std::optional<bool> talk;
    // capacity --blocking: the target as a fraction.
    double blocking = 0.01;
    bool raw = false; // every value exactly as stored, for programs
};

// The options every report command understands, and those of the one named.
void AddReportOptions(QCommandLineParser& parser, const QString& command);
// Reads them after parsing; a failure is the usage error to show.
Result<ReportRequest> ReadReportRequest(const QCommandLineParser& parser, const QString& command);
// A date as the command line takes it: yyyy-MM-dd, "today" or "yesterday".
Result<QDate> ReadDate(const QString& option, const QString& text);

// --match number: the typed number read in the region of the settings, --region or the locale.
// Loads the settings to find the region.
Result<std::shared_ptr<const calls::SameNumber>> ReadSameNumber(const QCommandLineParser& parser,
                                                                const QString& typed);
// --talk yes|no, nothing when not given.
Result<std::optional<bool>> ReadTalk(const QCommandLineParser& parser);

} // namespace cli
