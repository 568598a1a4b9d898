#include "commands.h"

#include "activity.h"
#include "callcells.h"
#include "callreport.h"
#include "clock.h"
#include "commandline.h"
#include "commandsupport.h"
#include "config.h"
#include "dbroutines.h"
#include "output.h"
#include "pdfreport.h"
#include "reportrequest.h"
#include "rowwriter.h"
#include "serversummary.h"
#include "terminal.h"
#include "textforms.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

#include <cmath>
#include <cstdio>

namespace cli {

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

} // namespace

int usageError(const QString& command, const QString& message) {
    err() << "linetally " << command << ": " << message << "\n"
          << "Try 'linetally " << command << " --help'.\n";
    err().flush();
    return kUsage;
}

int failure(int status, const QString& message) {
    err() << message << "\n";
    err().flush();
    return status;
}

namespace {

// The port given with --port, if any.
std::optional<int> askedPort;

// Loads the settings; a port asked for on the command line takes the place of DBPORT.
void loadSettings() {
    config::LoadConfig();
    if (askedPort)
        config::SetConfig(QString::fromLatin1(dbRoutines::kDbPortName),
                          QString::number(*askedPort));
}

} // namespace

std::optional<int> parse(QCommandLineParser& parser, const QString& command,
                         const QStringList& arguments, const CommandHelp& help) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(help.description);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and end."));
    parser.addOption(helpOption);
    parser.addOption({QStringLiteral("config"),
                      QStringLiteral("Read the settings from this file instead of local.cfg."),
                      QStringLiteral("FILE")});
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Connect to this port of 127.0.0.1 (a tunnel to another phone system) "
                       "instead of DBPORT of the settings (default %1).")
            .arg(dbRoutines::kDefaultDbPort),
        QStringLiteral("PORT"));
    parser.addOption(portOption);
    if (!parser.parse(QStringList{QStringLiteral("linetally ") + command} + arguments))
        return usageError(command, help.repeatsArguments
                                       ? parser.errorText()
                                       : QStringLiteral("an unknown option or a missing value"));
    if (parser.isSet(helpOption)) {
        QString text = parser.helpText();
        // The first line names the program by its path; the synopsis says more.
        text = QStringLiteral("Usage: linetally ") + command + u' ' + help.synopsis +
               text.mid(text.indexOf(u'\n'));
        QTextStream(stdout) << text << "\nExamples:\n" << help.examples;
        return kDone;
    }
    if (parser.isSet(QStringLiteral("config")))
        config::SetConfigFilePath(parser.value(QStringLiteral("config")));
    if (parser.isSet(portOption)) {
        askedPort = dbRoutines::ReadPortNumber(parser.value(portOption));
        if (!askedPort)
            return usageError(command, QStringLiteral("--port %1: give a port number from 1 to "
                                                      "65535")
                                           .arg(parser.value(portOption)));
    }
    return std::nullopt;
}

std::optional<int> connect() {
    if (const Status trusted = config::SettingsTrust(); !trusted)
        return failure(kCannotConnect, trusted.reason());
    loadSettings();
    if (config::GetConfig(QStringLiteral("dbuser")).isEmpty())
        return failure(kCannotConnect,
                       QStringLiteral("No database user name is stored in %1.\n"
                                      "Run 'linetally credentials' to store the user name and "
                                      "password of the phone system's database.")
                           .arg(QDir::toNativeSeparators(config::ConfigFilePath())));
    const Result<QString> driver = dbRoutines::FindDriverOnce();
    if (!driver)
        return failure(kCannotConnect, dbRoutines::kConnectFailed + u'\n' + driver.reason());
    return std::nullopt;
}

namespace {

// Shows how far a long report has got, on a terminal that is not where the report goes.
class Progress {
public:
    explicit Progress(bool toTerminal)
        : shown_(Terminal::IsTerminal(2) && !(toTerminal && Terminal::IsTerminal(1))) {}
    void step(qint64 calls) {
        if (shown_ && calls % 100000 == 0)
            std::fprintf(stderr, "\r%lld calls read...", static_cast<long long>(calls));
    }
    ~Progress() {
        if (shown_)
            std::fprintf(stderr, "\r%40s\r", "");
    }

private:
    bool shown_;
};

} // namespace

int runReport(const ReportRequest& request, Output& output,
              const std::function<bool(const dbRoutines::CallRecord&)>& reader,
              const std::function<Status()>& finish) {
    qint64 read = 0;
    bool repaired = false;
    Status status;
    {
        Progress progress(request.outputPath.isEmpty());
        status = dbRoutines::StreamCalls(BuildReportQuery(request.filter),
                                         [&](const dbRoutines::CallRecord& call) {
                                             progress.step(++read);
                                             repaired |= call.numbersRepaired;
                                             if (!Keeps(request, call))
                                                 return true;
                                             return reader(call);
                                         });
    }
    if (repaired)
        std::fputs("Some numbers are not stored as UTF-8: their unreadable bytes are shown as "
                   "\xEF\xBF\xBD.\n",
                   stderr);
    return concludeReport(status, output, finish);
}

int concludeReport(const Status& status, Output& output, const std::function<Status()>& finish) {
    if (!status) {
        output.abandon();
        return failure(kStatementFailed, QStringLiteral("The report failed: ") + status.reason());
    }
    if (!Output::ReaderWentAway(output.status())) {
        if (const Status finished = finish(); !finished) {
            output.abandon();
            return failure(kOutputFailed, finished.reason());
        }
    }
    const Status written = output.finish();
    if (!written)
        return failure(kOutputFailed, written.reason());
    return kDone;
}

namespace {

QByteArray talkTime(double seconds) {
    return TextForms::TalkTimeText(TextForms::WholeSeconds(seconds)).toUtf8();
}

// The calls whose talk time is zero, and the average talk time in whole seconds of those that
// had some (nothing when none had).
const Column kNoTalkColumn = {"no_talk_calls", "No talk", 7, true};
const Column kAverageTalkColumn = {"average_talk_seconds", "Avg talk", 8, true};
Cell averageTalk(double talkSeconds, qint64 talkedCalls) {
    return talkedCalls > 0 ? Cell::of(TextForms::WholeSeconds(talkSeconds / double(talkedCalls)))
                           : Cell::null();
}

// The text chart: each hour's line starts with its label ("09:00 "); the first line marks every
// fifth minute with its number, above the minute's column.
constexpr int kChartLabelWidth = 6;
constexpr char kChartMinuteRuler[] =
    "      0    5    10   15   20   25   30   35   40   45   50   55\n";

// The columns of a call.
const std::vector<Column> kCallColumns = {
    {"call_from", "Call From", 16},
    {"call_to", "Call To", 16},
    {"start", "Start Time", 19},
    {"duration", "Duration", 9, true},
    {"duration_seconds", "Seconds", 7, true},
};

} // namespace

int RunCalls(const QStringList& arguments) {
    const QString command = QStringLiteral("calls");
    QCommandLineParser parser;
    AddReportOptions(parser, command);
    parser.addPositionalArgument(QStringLiteral("NUMBER"),
                                 QStringLiteral("The number whose calls to list (or --all)."));
    if (const auto done = parse(
            parser, command, arguments,
            {QStringLiteral("[--day DATE | --from DATE --to DATE] (NUMBER | --all) "
                            "[options]"),
             QStringLiteral("Lists the calls of a day or period, oldest first."),
             QStringLiteral("  linetally calls --day yesterday 101\n"
                            "  linetally calls --from 2026-12-01 --to 2026-12-07 --match "
                            "contains 1632960777 --format csv > week.csv\n"
                            "  linetally calls --all --format jsonl --output today.jsonl\n"
                            "  linetally calls --from 2026-12-01 --to 2026-12-31 --match number "
                            "--region GB '01632 960777'\n"
                            "  linetally calls --day yesterday --all --talk no\n")}))
        return *done;
    const Result<ReportRequest> request = ReadReportRequest(parser, command);
    if (!request)
        return usageError(command, request.reason());
    if (const auto failed = connect())
        return *failed;
    auto opened = Output::Open(request.value.outputPath);
    if (!opened)
        return failure(kOutputFailed, opened.reason());
    Output& output = *opened.value;

    RowWriter writer(request.value.format, output, kCallColumns, QStringLiteral("Calls"));
    writer.setRaw(request.value.raw);
    if (!writer.header() && !Output::ReaderWentAway(output.status())) {
        if (const Status ended = writer.end(); !ended) {
            output.abandon();
            return failure(kOutputFailed, ended.reason());
        }
        return failure(kOutputFailed, output.finish().reason());
    }
    qint64 calls = 0, unreadable = 0;
    double talk = 0;
    QByteArray startBuffer(19, '\0');
    char clock[24];
    QByteArray durationText, startText;
    return runReport(
        request.value, output,
        [&](const dbRoutines::CallRecord& call) {
            ++calls;
            Cell start;
            if (call.start == CallRows::kStartIsText) {
                startText = call.startText.toUtf8();
                start = Cell::of(QByteArrayView(startText));
            } else if (call.start != CallRows::kNoStart) {
                TextForms::IsoStartText(call.start, startBuffer.data());
                if (request.value.format == Format::Table)
                    startBuffer[10] = ' '; // easier to read for people
                start = Cell::startTime(QByteArrayView(startBuffer), call.start);
            }
            const auto seconds = CallRows::DurationSecondsOf(call.duration, call.durationText);
            if (seconds && *seconds > 0)
                talk += *seconds;
            unreadable += !seconds;
            Cell duration;
            if (call.duration == CallRows::kDurationIsText) {
                durationText = call.durationText.toUtf8();
                duration = Cell::duration(QByteArrayView(durationText), seconds);
            } else if (call.duration != CallRows::kNoDuration) {
                duration = Cell::duration(
                    QByteArrayView(clock, TextForms::WriteTalkTime(call.duration, clock)), seconds);
            }
            const Cell wholeSeconds =
                seconds && std::abs(*seconds) < 9e15 ? Cell::of(qint64(*seconds)) : Cell::null();
            return writer.row(
                {Cell::of(call.callFrom), Cell::of(call.callTo), start, duration, wholeSeconds});
        },
        [&] {
            writer.note(
                TextForms::CallsSummaryText(calls, TextForms::WholeSeconds(talk), unreadable));
            return writer.end();
        });
}

int RunSummary(const QStringList& arguments) {
    const QString command = QStringLiteral("summary");
    QCommandLineParser parser;
    AddReportOptions(parser, command);
    parser.addPositionalArgument(
        QStringLiteral("NUMBER"),
        QStringLiteral("Only the calls of this number (default: every call, as --all)."));
    if (const auto done =
            parse(parser, command, arguments,
                  {QStringLiteral("[--day DATE | --from DATE --to DATE] [NUMBER | --all] "
                                  "--by hour|day|extension|number [options]"),
                   QStringLiteral("Sums up the calls of a day or period."),
                   QStringLiteral("  linetally summary --by hour --all\n"
                                  "  linetally summary --from 2026-12-01 --to 2026-12-31 --by "
                                  "day --format csv > december.csv\n"
                                  "  linetally summary --day yesterday --by number --top 10\n"
                                  "  linetally summary --by hour --talk yes 101\n")}))
        return *done;
    const Result<ReportRequest> request = ReadReportRequest(parser, command);
    if (!request)
        return usageError(command, request.reason());
    const ReportRequest& asked = request.value;
    if (const auto failed = connect())
        return *failed;
    QStringList extensions;
    if (asked.grouping == Grouping::Extension) {
        const Result<QStringList> listed = dbRoutines::FillExtensionList();
        if (!listed)
            return failure(kStatementFailed,
                           QStringLiteral("The extension list failed: ") + listed.reason());
        extensions = listed.value;
    }
    auto opened = Output::Open(asked.outputPath);
    if (!opened)
        return failure(kOutputFailed, opened.reason());
    Output& output = *opened.value;

    using namespace Activity;
    DayFigures hours{};
    std::vector<std::pair<QDate, DayFigures>> days;
    DayTally tally([&](QDate day, const DayFigures& figures) {
        for (size_t h = 0; h < 24; ++h) {
            hours[h].calls += figures[h].calls;
            hours[h].talkSeconds += figures[h].talkSeconds;
            hours[h].noTalkCalls += figures[h].noTalkCalls;
            hours[h].talkedCalls += figures[h].talkedCalls;
            hours[h].mostAtOnce = std::max(hours[h].mostAtOnce, figures[h].mostAtOnce);
        }
        if (asked.grouping == Grouping::Day)
            days.emplace_back(day, figures);
    });
    NumberTally numbers;
    if (asked.grouping == Grouping::Extension)
        numbers.restrictTo(extensions);
    const bool byNumber =
        asked.grouping == Grouping::Extension || asked.grouping == Grouping::Number;

    const auto hourText = [](int hour) {
        return QStringLiteral("%1:00-%2:00")
            .arg(hour, 2, 10, QLatin1Char('0'))
            .arg(hour + 1, 2, 10, QLatin1Char('0'))
            .toUtf8();
    };
    const auto write = [&]() -> Status {
        tally.finish();
        switch (asked.grouping) {
        case Grouping::Hour: {
            RowWriter writer(asked.format, output,
                             {{"hour", "Hour", 11},
                              {"calls", "Calls", 7, true},
                              {"talk_time", "Talk time", 10, true},
                              {"talk_seconds", "Seconds", 9, true},
                              {"most_at_once", "Most at once", 12, true},
                              kNoTalkColumn,
                              kAverageTalkColumn},
                             QStringLiteral("By hour"));
            writer.setRaw(asked.raw);
            bool ok = writer.header();
            for (int h = 0; h < 24 && ok; ++h) {
                const HourFigures& f = hours[size_t(h)];
                ok = writer.row({Cell::of(QByteArrayView(hourText(h))), Cell::of(f.calls),
                                 Cell::duration(QByteArrayView(talkTime(f.talkSeconds)),
                                                std::floor(f.talkSeconds)),
                                 Cell::of(TextForms::WholeSeconds(f.talkSeconds)),
                                 Cell::of(qint64(f.mostAtOnce)), Cell::of(f.noTalkCalls),
                                 averageTalk(f.talkSeconds, f.talkedCalls)});
            }
            // Two figures that often name different hours: where most calls began, and where
            // most were in progress at the same minute.
            const auto busiest = BusiestHour(hours);
            const auto mostStarted = MostCallsStartedHour(hours);
            if (ok && (!busiest || !mostStarted)) {
                writer.note(QStringLiteral("No calls"));
            } else if (ok) {
                writer.note(QStringLiteral("Most calls started: %1, %2 calls")
                                .arg(QString::fromUtf8(hourText(*mostStarted)))
                                .arg(hours[size_t(*mostStarted)].calls));
                writer.note(QStringLiteral("Most at once: %1, %2 calls at once")
                                .arg(QString::fromUtf8(hourText(*busiest)))
                                .arg(hours[size_t(*busiest)].mostAtOnce));
            }
            return writer.end();
        }
        case Grouping::Day: {
            RowWriter writer(asked.format, output,
                             {{"day", "Day", 10},
                              {"calls", "Calls", 7, true},
                              {"talk_time", "Talk time", 10, true},
                              {"talk_seconds", "Seconds", 9, true},
                              {"busiest_hour", "Busiest hour", 12},
                              {"most_at_once", "Most at once", 12, true},
                              kNoTalkColumn,
                              kAverageTalkColumn},
                             QStringLiteral("By day"));
            writer.setRaw(asked.raw);
            bool ok = writer.header();
            size_t next = 0;
            for (QDate day = asked.filter.first; ok && day <= asked.filter.last;
                 day = day.addDays(1)) {
                DayFigures figures{};
                if (next < days.size() && days[next].first == day)
                    figures = days[next++].second;
                qint64 calls = 0, noTalk = 0, talked = 0;
                double talk = 0;
                for (const HourFigures& f : figures) {
                    calls += f.calls;
                    talk += f.talkSeconds;
                    noTalk += f.noTalkCalls;
                    talked += f.talkedCalls;
                }
                const auto busiest = BusiestHour(figures);
                const QByteArray date = day.toString(Qt::ISODate).toUtf8();
                const QByteArray busiestText = busiest ? hourText(*busiest) : QByteArray();
                ok = writer.row({Cell::of(QByteArrayView(date)), Cell::of(calls),
                                 Cell::duration(QByteArrayView(talkTime(talk)), std::floor(talk)),
                                 Cell::of(TextForms::WholeSeconds(talk)),
                                 busiest ? Cell::of(QByteArrayView(busiestText)) : Cell::null(),
                                 busiest ? Cell::of(qint64(figures[size_t(*busiest)].mostAtOnce))
                                         : Cell::null(),
                                 Cell::of(noTalk), averageTalk(talk, talked)});
            }
            return writer.end();
        }
        case Grouping::Extension:
        case Grouping::Number: {
            const bool extension = asked.grouping == Grouping::Extension;
            RowWriter writer(
                asked.format, output,
                {{extension ? "extension" : "number", extension ? "Extension" : "Number", 16},
                 {"calls", "Calls", 7, true},
                 {"placed", "Placed", 7, true},
                 {"received", "Received", 8, true},
                 {"talk_time", "Talk time", 10, true},
                 {"talk_seconds", "Seconds", 9, true},
                 kNoTalkColumn,
                 kAverageTalkColumn},
                extension ? QStringLiteral("By extension") : QStringLiteral("By number"));
            writer.setRaw(asked.raw);
            bool ok = writer.header();
            std::vector<std::pair<QByteArray, NumberFigures>> rows;
            if (extension) {
                for (const QString& number : extensions)
                    rows.emplace_back(number.toUtf8(), numbers.figures(number.toUtf8()));
            } else {
                rows = numbers.top(asked.top);
            }
            for (const auto& [number, f] : rows) {
                if (!ok)
                    break;
                ok = writer.row({Cell::of(QByteArrayView(number)), Cell::of(f.calls()),
                                 Cell::of(f.placed), Cell::of(f.received),
                                 Cell::duration(QByteArrayView(talkTime(f.talkSeconds)),
                                                std::floor(f.talkSeconds)),
                                 Cell::of(TextForms::WholeSeconds(f.talkSeconds)),
                                 Cell::of(f.noTalkCalls),
                                 averageTalk(f.talkSeconds, f.talkedCalls)});
            }
            return writer.end();
        }
        }
        return Status();
    };
    if (KeepsEveryCall(asked)) {
        // The server sums up the calls; the tallies end as if each call had been added.
        using dbRoutines::SummedBy;
        const SummedBy by = asked.grouping == Grouping::Extension ? SummedBy::Extension
                            : asked.grouping == Grouping::Number  ? SummedBy::Number
                                                                  : SummedBy::Day;
        const Result<bool> summed =
            dbRoutines::SumUpAtServer(asked.filter, by, asked.top, tally, numbers);
        if (!summed || summed.value)
            return concludeReport(summed.status, output, write);
    }
    return runReport(
        asked, output,
        [&](const dbRoutines::CallRecord& call) {
            const auto seconds = CallRows::DurationSecondsOf(call.duration, call.durationText);
            if (byNumber)
                numbers.add(call.callFrom, call.callTo, seconds);
            else
                tally.add(call.start, seconds);
            return true;
        },
        write);
}

int RunChart(const QStringList& arguments) {
    const QString command = QStringLiteral("chart");
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("day"),
                      QStringLiteral("The day: yyyy-MM-dd, today or yesterday (default: today)."),
                      QStringLiteral("DATE")});
    parser.addPositionalArgument(QStringLiteral("NUMBER"),
                                 QStringLiteral("The number whose calls are charted."));
    if (const auto done =
            parse(parser, command, arguments,
                  {QStringLiteral("[--day DATE] NUMBER"),
                   QStringLiteral(
                       "Draws the window's per-minute chart of one day for one number: a line "
                       "for each hour, a character for each minute. # a call placed by the "
                       "number, + another of its calls, * both, . none. Each line starts with its "
                       "hour; the first line numbers the minutes."),
                   QStringLiteral("  linetally chart --day yesterday 101\n")}))
        return *done;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(
            command, positional.isEmpty()
                         ? QStringLiteral("NUMBER: give the number to chart")
                         : QStringLiteral("%1: one number only").arg(positional.mid(1).join(u' ')));
    ReportFilter filter;
    const auto day = parser.isSet(QStringLiteral("day"))
                         ? ReadDate(QStringLiteral("day"), parser.value(QStringLiteral("day")))
                         : Succeeded(Today());
    if (!day)
        return usageError(command, day.reason());
    filter.first = filter.last = day.value;
    filter.number = positional.first();
    filter.direction = Direction::Both;
    if (const auto failed = connect())
        return *failed;
    const Result<CallRows> rows = dbRoutines::RunSearchQuery(BuildReportQuery(filter));
    if (!rows)
        return failure(kStatementFailed, QStringLiteral("The search failed: ") + rows.reason());
    const MinuteCells cells = MinuteCellsOf(rows.value, filter.number->toUtf8());
    auto opened = Output::Open({});
    Output& output = *opened.value;
    bool ok = output.write(QByteArrayView(kChartMinuteRuler)).ok();
    QByteArray line = QByteArray("00:00 ") + QByteArray(60, '.') + '\n';
    for (int hour = 0; hour < 24 && ok; ++hour) {
        line[0] = char('0' + hour / 10);
        line[1] = char('0' + hour % 10);
        for (int minute = 0; minute < 60; ++minute) {
            const size_t m = size_t(hour * 60 + minute);
            const bool from = cells.from.test(m), to = cells.to.test(m);
            line[kChartLabelWidth + minute] = from && to ? '*' : from ? '#' : to ? '+' : '.';
        }
        ok = output.write(QByteArrayView(line)).ok();
    }
    if (ok && rows.value.size() == 0)
        (void)output.write(QByteArrayView("No calls\n")); // a failure is finish()'s to report
    const Status written = output.finish();
    return written ? kDone : failure(kOutputFailed, written.reason());
}

// Far longer than any user name or password; a longer line is not read whole.
constexpr qsizetype kMaxCredentialBytes = 4096;

int RunCredentials(const QStringList& arguments) {
    const QString command = QStringLiteral("credentials");
    QCommandLineParser parser;
    if (const auto done = parse(
            parser, command, arguments,
            {QStringLiteral("[--config FILE] [--port PORT]"),
             QStringLiteral("Asks for the phone system database's user name and password, tests "
                            "them and stores them, as the window's Login Info dialog does. At a "
                            "terminal the password is not shown; from a pipe, the first line is "
                            "the user name and the second the password. A --port is stored "
                            "with them as DBPORT."),
             QStringLiteral("  linetally credentials\n"
                            "  printf '%s\\n%s\\n' \"$user\" \"$password\" | linetally "
                            "credentials\n"
                            "  linetally credentials --port 5481 --config ~/pbx2.cfg\n"),
             false}))
        return *done;
    // An argument may be the password typed in the wrong place: it is never repeated.
    if (!parser.positionalArguments().isEmpty())
        return usageError(command, QStringLiteral("credentials takes no arguments"));
    if (const Status trusted = config::SettingsTrust(); !trusted)
        return failure(kOutputFailed, trusted.reason());
    const bool asking = Terminal::IsTerminal(0);
    const auto ask = [asking](const char* prompt, bool secret) {
        if (asking) {
            std::fputs(prompt, stderr);
            std::fflush(stderr);
        }
        return Terminal::ReadLine(secret, kMaxCredentialBytes);
    };
    const Terminal::Line user = ask("User name: ", false);
    const Terminal::Line password =
        user.state == Terminal::Line::State::Read ? ask("Password: ", true) : Terminal::Line{};
    if (user.state == Terminal::Line::State::TooLong ||
        password.state == Terminal::Line::State::TooLong)
        return usageError(command, QStringLiteral("a line of standard input is longer than %1 "
                                                  "bytes, far longer than a user name or password")
                                       .arg(kMaxCredentialBytes));
    if (password.state != Terminal::Line::State::Read)
        return usageError(command, QStringLiteral("standard input ended before the user name "
                                                  "and the password (one line each)"));
    if (!config::FitsOnOneLine(user.text) || !config::FitsOnOneLine(password.text))
        return usageError(command, dbRoutines::kLineBreakRefusal);
    // A port given here is stored with the credentials.
    loadSettings();
    const Status tried = dbRoutines::TryCredentials(user.text, password.text);
    if (!tried)
        return failure(kCannotConnect, dbRoutines::kConnectFailed + u'\n' + tried.reason());
    QTextStream(stdout) << "Database Connection Successful\n";
    const Status saved = config::SaveConfig();
    if (!saved)
        return failure(kOutputFailed, saved.reason());
    return kDone;
}

int RunReport(const QStringList& arguments) {
    const QString command = QStringLiteral("report");
    QCommandLineParser parser;
    AddReportOptions(parser, command);
    parser.addOption({QStringLiteral("top"),
                      QStringLiteral("How many of the numbers with the most calls to list "
                                     "(default 10)."),
                      QStringLiteral("N")});
    parser.addPositionalArgument(
        QStringLiteral("NUMBER"),
        QStringLiteral("Only the calls of this number (default: every call, as --all)."));
    if (const auto done = parse(
            parser, command, arguments,
            {QStringLiteral("[--day DATE | --from DATE --to DATE] [NUMBER | --all] --output "
                            "FILE.pdf [options]"),
             QStringLiteral("Writes a PDF report of a day or period: the totals, the calls by "
                            "hour, by day of the week and hour and by day, then the extensions "
                            "and the numbers with the most calls. Needs no display."),
             QStringLiteral("  linetally report --day yesterday --all --output yesterday.pdf\n"
                            "  linetally report --from 2026-12-01 --to 2026-12-07 --output "
                            "week.pdf\n")}))
        return *done;
    const Result<ReportRequest> request = ReadReportRequest(parser, command);
    if (!request)
        return usageError(command, request.reason());
    if (request.value.outputPath.isEmpty())
        return usageError(command, QStringLiteral("--output: name the PDF file to write"));
    int top = 10;
    if (parser.isSet(QStringLiteral("top"))) {
        bool ok = false;
        top = parser.value(QStringLiteral("top")).toInt(&ok);
        if (!ok || top < 1)
            return usageError(command, QStringLiteral("--top %1: it is a whole number of 1 or more")
                                           .arg(parser.value(QStringLiteral("top"))));
    }
    if (const auto failed = connect())
        return *failed;
    const Result<QStringList> extensions = dbRoutines::FillExtensionList();
    if (!extensions)
        return failure(kStatementFailed,
                       QStringLiteral("The extension list failed: ") + extensions.reason());
    auto opened = Output::Open(request.value.outputPath);
    if (!opened)
        return failure(kOutputFailed, opened.reason());
    Output& output = *opened.value;

    files::CallReportTally tally(request.value.filter, extensions.value, top);
    return runReport(
        request.value, output,
        [&](const dbRoutines::CallRecord& call) {
            tally.add(call);
            return true;
        },
        [&]() -> Status {
            files::ReportFigures figures = tally.finish(QDateTime::currentDateTime());
            const Result<QByteArray> pdf = files::PdfReport(figures, files::LocalePaperSize());
            if (!pdf)
                return pdf.status;
            // A failed write is reported by the output's finish(), a closed pipe not at all.
            (void)output.write(pdf.value);
            return {};
        });
}

} // namespace cli
