// linetally capacity: the figures that size a phone system, one line per day of a period.
#include "capacity.h"
#include "commandline.h"
#include "commands.h"
#include "commandsupport.h"
#include "rowwriter.h"
#include "textforms.h"

#include <cmath>

namespace cli {

namespace {

const std::vector<Column> kCapacityColumns = {
    {"day", "Day", 10},
    {"calls", "Calls", 7, true},
    {"no_talk_calls", "No talk", 7, true},
    {"talk_seconds", "Talk secs", 9, true},
    {"peak_at_once", "At once", 7, true},
    {"peak_at", "Peak at", 7},
    {"busy_hour", "Busy hour", 9, true},
    {"busy_hour_erlangs", "Erlangs", 8, true},
    {"lines_needed", "Lines", 5, true},
};

QByteArray clockText(int minuteOfDay) {
    return QStringLiteral("%1:%2")
        .arg(minuteOfDay / 60, 2, 10, QLatin1Char('0'))
        .arg(minuteOfDay % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

QString highestDayText(const calls::DayCapacity* day, double blocking) {
    if (!day || day->linesNeeded == 0)
        return QStringLiteral("No traffic in the period");
    QString text = QStringLiteral("Highest day: %1, %2 lines for %3 E in the %4:00 hour at %5% "
                                  "blocking")
                       .arg(day->day.toString(Qt::ISODate))
                       .arg(day->linesNeeded)
                       .arg(day->busyHourErlangs, 0, 'f', 2)
                       .arg(*day->busyHour, 2, 10, QLatin1Char('0'))
                       .arg(blocking * 100, 0, 'g', 6);
    if (day->peakMinute)
        text += QStringLiteral("; %1 calls at once at %2")
                    .arg(day->peakAtOnce)
                    .arg(QString::fromLatin1(clockText(*day->peakMinute)));
    return text;
}

} // namespace

int RunCapacity(const QStringList& arguments) {
    const QString command = QStringLiteral("capacity");
    QCommandLineParser parser;
    AddReportOptions(parser, command);
    parser.addPositionalArgument(
        QStringLiteral("NUMBER"),
        QStringLiteral("Only the calls of this number (default: every call, as --all)."));
    if (const auto done = parse(
            parser, command, arguments,
            {QStringLiteral("[--day DATE | --from DATE --to DATE] [NUMBER | --all] "
                            "[--blocking PERCENT] [options]"),
             QStringLiteral(
                 "How many lines the calls need, day by day: the calls started, those with no "
                 "talk time and the talk time; the most calls in progress in one minute as the "
                 "chart counts them (peak_at: its first minute); the clock hour with the most "
                 "traffic (the seconds of calls inside it divided by 3600, a call lasting into "
                 "the next hour giving each its part) and the fewest lines that carry that "
                 "traffic with at most the --blocking share of calls finding every line busy, "
                 "by Erlang B. The table ends with the day that needs the most lines."),
             QStringLiteral("  linetally capacity --from 2026-12-01 --to 2026-12-31\n"
                            "  linetally capacity --day yesterday --blocking 0.5 --format csv\n"
                            "  linetally capacity --from 2026-11-01 --to 2026-11-30 "
                            "+441632960777 --match number --region GB\n")}))
        return *done;
    const Result<ReportRequest> request = ReadReportRequest(parser, command);
    if (!request)
        return usageError(command, request.reason());
    const ReportRequest& asked = request.value;
    if (const auto failed = connect())
        return *failed;
    auto opened = Output::Open(asked.outputPath);
    if (!opened)
        return failure(kOutputFailed, opened.reason());
    Output& output = *opened.value;

    calls::CapacityTally tally(asked.filter.first, asked.filter.last, asked.blocking);
    const auto write = [&]() -> Status {
        const std::vector<calls::DayCapacity> days = tally.days();
        RowWriter writer(asked.format, output, kCapacityColumns, QStringLiteral("Capacity"));
        writer.setRaw(asked.raw);
        bool ok = writer.header();
        for (const calls::DayCapacity& day : days) {
            if (!ok)
                break;
            const QByteArray date = day.day.toString(Qt::ISODate).toLatin1();
            const QByteArray peakAt = day.peakMinute ? clockText(*day.peakMinute) : QByteArray();
            const QByteArray erlangs = QByteArray::number(day.busyHourErlangs, 'f', 2);
            ok = writer.row(
                {Cell::of(QByteArrayView(date)), Cell::of(day.calls), Cell::of(day.noTalkCalls),
                 Cell::of(TextForms::WholeSeconds(day.talkSeconds)),
                 Cell::of(qint64(day.peakAtOnce)),
                 day.peakMinute ? Cell::of(QByteArrayView(peakAt)) : Cell::null(),
                 day.busyHour ? Cell::of(qint64(*day.busyHour)) : Cell::null(),
                 Cell::ofDecimal(QByteArrayView(erlangs)), Cell::of(qint64(day.linesNeeded))});
        }
        if (ok)
            writer.note(highestDayText(calls::HighestDay(days), asked.blocking));
        return writer.end();
    };
    return runReport(
        asked, output,
        [&](const dbRoutines::CallRecord& call) {
            tally.add(call.start, CallRows::DurationSecondsOf(call.duration, call.durationText));
            return true;
        },
        write);
}

} // namespace cli
