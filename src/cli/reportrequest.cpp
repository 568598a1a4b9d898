#include "reportrequest.h"

#include "clock.h"
#include "numcrunch.h"
#include "textforms.h"

#include <limits>

namespace cli {

void AddReportOptions(QCommandLineParser& parser, const QString& command) {
    parser.addOptions({
        {QStringLiteral("day"),
         QStringLiteral("The day: yyyy-MM-dd, today or yesterday (default: today)."),
         QStringLiteral("DATE")},
        {QStringLiteral("from"), QStringLiteral("The first day of a period (with --to)."),
         QStringLiteral("DATE")},
        {QStringLiteral("to"), QStringLiteral("The last day of a period, included."),
         QStringLiteral("DATE")},
        {QStringLiteral("all"), QStringLiteral("Every call of the period, not one number's.")},
        {QStringLiteral("direction"),
         QStringLiteral("to: calls to the number, from: calls it placed, both (default)."),
         QStringLiteral("to|from|both")},
        {QStringLiteral("match"),
         QStringLiteral("exact: the number as stored (default), 101 finds 101 only; contains: "
                        "its digits anywhere in a stored number's digits, so 1632960777 finds "
                        "+44 1632 960777 and 01632 960777; number: the same phone number however "
                        "it is written, read in a region: with GB, 01632 960777 finds +44 1632 "
                        "960777 and (01632) 960-777 but not +49 1163 2960777, and an extension "
                        "such as 301 finds only itself."),
         QStringLiteral("exact|contains|number")},
        {QStringLiteral("region"),
         QStringLiteral("With --match number: the country whose way of writing numbers applies, "
                        "as a two-letter code (GB, US, DE), when the settings hold no REGION "
                        "(default: the locale's, from LC_ALL, LC_TELEPHONE or LANG)."),
         QStringLiteral("CODE")},
        {QStringLiteral("output"),
         QStringLiteral("Write to this file, replaced only once the report is complete."),
         QStringLiteral("FILE")},
        {QStringLiteral("raw"),
         QStringLiteral(
             "With csv or jsonl: write every value exactly as stored, for programs. "
             "Without it, a value a spreadsheet would run as a formula (=, @, a tab, or + or - "
             "before anything but a number) starts with an apostrophe.")},
    });
    // The PDF report has one format only.
    if (command != QLatin1String("report")) {
        parser.addOptions({
            {QStringLiteral("format"),
             QStringLiteral("table for people (default), csv (RFC 4180), jsonl (a JSON object a "
                            "line) or xlsx (a spreadsheet file, with --output)."),
             QStringLiteral("table|csv|jsonl|xlsx")},
        });
    }
    if (command == QLatin1String("calls") || command == QLatin1String("summary")) {
        parser.addOption({QStringLiteral("talk"),
                          QStringLiteral("yes: only the calls with talk time; no: only those "
                                         "whose talk time is zero. A duration that cannot be "
                                         "read is neither."),
                          QStringLiteral("yes|no")});
    }
    if (command == QLatin1String("capacity")) {
        parser.addOption({QStringLiteral("blocking"),
                          QStringLiteral("The share of busy-hour calls that may find every line "
                                         "busy, in percent (default 1)."),
                          QStringLiteral("PERCENT")});
    }
    if (command == QLatin1String("summary")) {
        parser.addOptions({
            {QStringLiteral("by"),
             QStringLiteral("hour: calls, talk time and most calls at once for each hour of the "
                            "day; day: each day of the period; extension: each extension of the "
                            "phone system; number: the numbers with the most calls."),
             QStringLiteral("hour|day|extension|number")},
            {QStringLiteral("top"),
             QStringLiteral("With --by number: how many numbers (default 20)."),
             QStringLiteral("N")},
        });
    }
}

Result<QDate> ReadDate(const QString& option, const QString& text) {
    if (text == QLatin1String("today"))
        return Succeeded(Today());
    if (text == QLatin1String("yesterday"))
        return Succeeded(Today().addDays(-1));
    if (const auto date = TextForms::IsoDate(text))
        return Succeeded(*date);
    return Failed<QDate>(
        QStringLiteral("--%1 %2: a date is yyyy-MM-dd, today or yesterday").arg(option, text));
}

Result<ReportRequest> ReadReportRequest(const QCommandLineParser& parser, const QString& command) {
    ReportRequest request;
    const auto fail = [](const QString& text) { return Failed<ReportRequest>(text); };

    // The period.
    const bool day = parser.isSet(QStringLiteral("day"));
    const bool from = parser.isSet(QStringLiteral("from"));
    const bool to = parser.isSet(QStringLiteral("to"));
    if (day && (from || to))
        return fail(QStringLiteral("--day: give either --day or --from and --to, not both"));
    if (from != to)
        return fail(from ? QStringLiteral("--from: a period also needs --to")
                         : QStringLiteral("--to: a period also needs --from"));
    if (from) {
        const auto first = ReadDate(QStringLiteral("from"), parser.value(QStringLiteral("from")));
        const auto last = ReadDate(QStringLiteral("to"), parser.value(QStringLiteral("to")));
        if (!first)
            return fail(first.reason());
        if (!last)
            return fail(last.reason());
        if (last.value < first.value)
            return fail(
                QStringLiteral("--to %1: the period ends before it begins (--from %2)")
                    .arg(parser.value(QStringLiteral("to")), parser.value(QStringLiteral("from"))));
        request.filter.first = first.value;
        request.filter.last = last.value;
    } else {
        const auto only = day ? ReadDate(QStringLiteral("day"), parser.value(QStringLiteral("day")))
                              : Succeeded(Today());
        if (!only)
            return fail(only.reason());
        request.filter.first = request.filter.last = only.value;
    }

    // The number, or every call.
    const QStringList positional = parser.positionalArguments();
    const bool all = parser.isSet(QStringLiteral("all"));
    if (positional.size() > 1)
        return fail(QStringLiteral("%1: one number at most (put a number with blanks in quotes)")
                        .arg(positional.mid(1).join(u' ')));
    if (all && !positional.isEmpty())
        return fail(QStringLiteral("--all: give either a number or --all, not both"));
    if (!all && positional.isEmpty()) {
        if (command == QLatin1String("calls"))
            return fail(QStringLiteral("NUMBER: give the number to look for, or --all"));
    } else if (!all) {
        request.filter.number = positional.first();
    }

    const QString direction = parser.value(QStringLiteral("direction"));
    if (direction.isEmpty() || direction == QLatin1String("both"))
        request.filter.direction = Direction::Both;
    else if (direction == QLatin1String("to"))
        request.filter.direction = Direction::To;
    else if (direction == QLatin1String("from"))
        request.filter.direction = Direction::From;
    else
        return fail(QStringLiteral("--direction %1: it is to, from or both").arg(direction));

    const QString match = parser.value(QStringLiteral("match"));
    if (match == QLatin1String("contains")) {
        request.filter.digitsAnywhere = true;
        if (request.filter.number) {
            if (NumCrunch::DigitsOnly(*request.filter.number).size() < kMinimumDigitsToMatch)
                return fail(QStringLiteral("%1: --match contains needs at least %2 digits")
                                .arg(*request.filter.number)
                                .arg(kMinimumDigitsToMatch));
        }
    } else if (match == QLatin1String("number")) {
        if (request.filter.number) {
            auto same = ReadSameNumber(parser, *request.filter.number);
            if (!same)
                return fail(same.reason());
            request.sameNumber = std::move(same.value);
            // A phone number is narrowed at the server by its last digits; anything else, such
            // as an extension, is found exactly as typed.
            request.filter.endsWithDigits = request.sameNumber->lastDigits();
        }
    } else if (!match.isEmpty() && match != QLatin1String("exact")) {
        return fail(QStringLiteral("--match %1: it is exact, contains or number").arg(match));
    }
    if (parser.isSet(QStringLiteral("region")) && match != QLatin1String("number"))
        return fail(QStringLiteral("--region: it applies to --match number only"));

    if (command == QLatin1String("calls") || command == QLatin1String("summary")) {
        auto talk = ReadTalk(parser);
        if (!talk)
            return fail(talk.reason());
        request.talk = talk.value;
    }

    const QString format =
        command == QLatin1String("report") ? QString() : parser.value(QStringLiteral("format"));
    if (format.isEmpty() || format == QLatin1String("table"))
        request.format = Format::Table;
    else if (format == QLatin1String("csv"))
        request.format = Format::Csv;
    else if (format == QLatin1String("jsonl"))
        request.format = Format::JsonLines;
    else if (format == QLatin1String("xlsx"))
        request.format = Format::Xlsx;
    else
        return fail(QStringLiteral("--format %1: it is table, csv, jsonl or xlsx").arg(format));

    request.raw = parser.isSet(QStringLiteral("raw"));
    if (request.raw && request.format == Format::Table)
        return fail(QStringLiteral("--raw: it is for --format csv or jsonl; the table is for "
                                   "people"));

    request.outputPath = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) && request.outputPath.isEmpty())
        return fail(QStringLiteral("--output: name a file"));
    if (request.format == Format::Xlsx && request.outputPath.isEmpty())
        return fail(QStringLiteral("--format xlsx: a spreadsheet is a file; name it with "
                                   "--output FILE"));

    if (command == QLatin1String("capacity")) {
        if (parser.isSet(QStringLiteral("blocking"))) {
            const QString text = parser.value(QStringLiteral("blocking"));
            bool ok = false;
            const double percent = text.trimmed().remove(u'%').toDouble(&ok);
            if (!ok || !(percent > 0) || !(percent < 100))
                return fail(QStringLiteral("--blocking %1: it is a percentage above 0 and "
                                           "below 100, such as 1 or 0.5")
                                .arg(text));
            request.blocking = percent / 100;
        }
        return Succeeded(request);
    }
    if (command != QLatin1String("summary"))
        return Succeeded(request);
    const QString by = parser.value(QStringLiteral("by"));
    if (by == QLatin1String("hour"))
        request.grouping = Grouping::Hour;
    else if (by == QLatin1String("day"))
        request.grouping = Grouping::Day;
    else if (by == QLatin1String("extension"))
        request.grouping = Grouping::Extension;
    else if (by == QLatin1String("number"))
        request.grouping = Grouping::Number;
    else if (by.isEmpty())
        return fail(QStringLiteral("--by: say what to sum up by: hour, day, extension or number"));
    else
        return fail(QStringLiteral("--by %1: it is hour, day, extension or number").arg(by));
    if (parser.isSet(QStringLiteral("top"))) {
        bool ok = false;
        request.top = parser.value(QStringLiteral("top")).toInt(&ok);
        if (!ok || request.top < 1)
            return fail(QStringLiteral("--top %1: it is a whole number from 1 to %2")
                            .arg(parser.value(QStringLiteral("top")))
                            .arg(std::numeric_limits<int>::max()));
    }
    return Succeeded(request);
}

} // namespace cli
