#include "dbroutines.h"

#include "calllistmodel.h"
#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "searchquery.h"

#include <QComboBox>
#include <QDateTime>
#include <QLocale>

namespace dbRoutines {

QString DbDriver;

namespace {

const QString kServerHost = QStringLiteral("localhost");
const QString kProbeOptions = QStringLiteral(";A7=50;A8=8192;USEDECLAREFETCH =1");

QString cellText(const std::optional<QString>& value) {
    return value.value_or(QString());
}

} // namespace

QString WorkingConnectionString(const QString& driverClause) {
    return driverClause + QStringLiteral(" Server=") + kServerHost +
           QStringLiteral("; PORT=5480; Database=phonesystem; UID=") +
           QuoteConnectionValue(config::GetConfig(QStringLiteral("dbuser"))) +
           QStringLiteral("; PWD=") +
           QuoteConnectionValue(config::GetConfig(QStringLiteral("dbpass")));
}

QString ProbeConnectionString(const QString& driverClause) {
    return WorkingConnectionString(driverClause) + kProbeOptions;
}

bool TestConnection(const QString& driverClause) {
    DbConnection connection;
    if (!connection.open(ProbeConnectionString(driverClause)))
        return false;
    if (!connection.execute(kTestQuery))
        return false;
    while (connection.next()) {
    }
    if (!connection.lastError().isEmpty())
        return false;
    connection.close();
    return true;
}

bool FindDriver() {
    for (const QString& clause : {kUnicodeDriver, kPlainDriver, kAnsiDriver}) {
        if (TestConnection(clause)) {
            DbDriver = clause;
            return true;
        }
    }
    return false;
}

void FillExtensionList(QComboBox* combo) {
    DbConnection connection;
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return;
    if (!connection.execute(kExtensionQuery))
        return;
    QStringList entries;
    while (connection.next() && entries.size() < kExtensionLimit) {
        // A NULL extension is passed over; the rest of the list still comes.
        if (const auto value = connection.text(0))
            entries << *value;
    }
    combo->addItems(entries);
    connection.close();
}

QString StartTimeText(const DbTimestamp& at) {
    // Written by hand: this runs once per listed call, and the date and time formatters of the
    // library cost more than fetching the row.
    QString text;
    text.reserve(22);
    const auto append = [&text](int number, int width) {
        char digits[12];
        int n = 0;
        do {
            digits[n++] = char('0' + number % 10);
            number /= 10;
        } while (number > 0 && n < 11);
        while (n < width)
            digits[n++] = '0';
        while (n > 0)
            text += QLatin1Char(digits[--n]);
    };
    append(at.month, 1);
    text += u'/';
    append(at.day, 1);
    text += u'/';
    append(at.year, 4);
    if (at.hour == 0 && at.minute == 0 && at.second == 0)
        return text; // exactly midnight: the date alone
    text += u' ';
    append(at.hour % 12 == 0 ? 12 : at.hour % 12, 1);
    text += u':';
    append(at.minute, 2);
    text += u':';
    append(at.second, 2);
    text += at.hour < 12 ? QLatin1String(" AM") : QLatin1String(" PM");
    return text;
}

QString StartTimeTextFromDriver(const QString& text) {
    // The driver writes a timestamp as yyyy-MM-dd hh:mm:ss, perhaps with a fraction.
    const auto digits = [&text](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const QChar c = text[i];
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    if (text.size() < 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' ||
        text[13] != u':' || text[16] != u':' || (text.size() > 19 && text[19] != u'.'))
        return text;
    const DbTimestamp at{digits(0, 4),  digits(5, 2),  digits(8, 2),
                         digits(11, 2), digits(14, 2), digits(17, 2)};
    if (at.year < 0 || at.month < 1 || at.month > 12 || at.day < 1 || at.day > 31 || at.hour < 0 ||
        at.hour > 23 || at.minute < 0 || at.minute > 59 || at.second < 0 || at.second > 60)
        return text;
    return StartTimeText(at);
}

bool RunSearchQuery(const SearchQuery& query, CallListModel& list) {
    list.clear();
    DbConnection connection;
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return false;
    if (!connection.execute(query.statement, query.parameters))
        return false;
    std::vector<CallRow> rows;
    CallRow previous;
    // Texts equal to the previous row's share its storage: a day's rows repeat the searched
    // number, the date and many durations.
    const auto shared = [](QString text, const QString& before) {
        return text == before ? before : text;
    };
    while (connection.next()) {
        // Fields 0, 1, 3, 2 fill the four columns; a NULL shows as an empty cell.
        CallRow row;
        row.callFrom = shared(cellText(connection.text(0)), previous.callFrom);
        row.callTo = shared(cellText(connection.text(1)), previous.callTo);
        row.duration = shared(cellText(connection.text(2)), previous.duration);
        row.startTime = StartTimeTextFromDriver(cellText(connection.text(3)));
        previous = row;
        rows.push_back(std::move(row));
    }
    const bool complete = connection.lastError().isEmpty();
    list.appendRows(std::move(rows));
    connection.close();
    return complete;
}

} // namespace dbRoutines
