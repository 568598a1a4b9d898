#include "textforms.h"

#include <QtTest>

class TestTextForms : public QObject {
    Q_OBJECT
private slots:
    void startTimeText_data();
    void startTimeText();
    void numberForms_data();
    void numberForms();
    void summary();
    void formulas_data();
    void formulas();
    void wholeSeconds_data();
    void wholeSeconds();
    void localeForms_data();
    void localeForms();
    void everyLocale_data();
    void everyLocale();
};

void TestTextForms::startTimeText_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("shown");
    QTest::newRow("afternoon") << "2008-08-23 15:15:42"
                               << "8/23/2008 3:15:42 PM";
    QTest::newRow("morning") << "2024-03-01 09:05:00"
                             << "3/1/2024 9:05:00 AM";
    QTest::newRow("midnight is the date alone") << "2024-03-01 00:00:00"
                                                << "3/1/2024";
    QTest::newRow("just after midnight") << "2024-03-01 00:00:01"
                                         << "3/1/2024 12:00:01 AM";
    QTest::newRow("noon") << "2024-12-31 12:00:00"
                          << "12/31/2024 12:00:00 PM";
    QTest::newRow("fraction dropped") << "2024-03-01 23:59:59.999"
                                      << "3/1/2024 11:59:59 PM";
    QTest::newRow("not a timestamp") << "yesterday"
                                     << "yesterday";
    QTest::newRow("bad month") << "2024-13-01 10:00:00"
                               << "2024-13-01 10:00:00";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no such day") << "2026-02-31 10:00:00"
                                 << "2026-02-31 10:00:00";
    QTest::newRow("leap day") << "2024-02-29 10:00:00"
                              << "2/29/2024 10:00:00 AM";
    QTest::newRow("year 1") << "0001-01-01 08:00:00"
                            << "1/1/0001 8:00:00 AM";
    QTest::newRow("BC") << "4713-11-24 00:00:00 BC"
                        << "4713-11-24 00:00:00 BC";
    QTest::newRow("five-digit year") << "10000-01-01 00:00:00"
                                     << "10000-01-01 00:00:00";
}

void TestTextForms::startTimeText() {
    QFETCH(QString, driver);
    QFETCH(QString, shown);
    // The list shows a real timestamp in its own form and any other text as it came.
    const auto seconds = TextForms::StartSecondsFromDriverText(QStringView(driver));
    QCOMPARE(seconds ? TextForms::StartTimeText(*seconds) : driver, shown);
}

// Texts the list keeps as numbers come back exactly; any other text has no number form.
void TestTextForms::numberForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasNumber");
    QTest::newRow("driver's duration") << "00:05:30" << true;
    QTest::newRow("negative") << "-00:05:00" << true;
    QTest::newRow("hundred hours") << "100:00:00" << true;
    QTest::newRow("one-digit hours") << "0:05:30" << false;
    QTest::newRow("fraction") << "00:00:01.5" << false;
    QTest::newRow("days") << "1 day 02:00:00" << false;
    QTest::newRow("minus zero") << "-00:00:00" << false;
    QTest::newRow("sixty seconds") << "00:00:60" << false;
    QTest::newRow("huge") << QString(30, u'9') + ":00:00" << false;
}

void TestTextForms::numberForms() {
    QFETCH(QString, text);
    QFETCH(bool, hasNumber);
    const auto seconds = TextForms::StoredDurationSeconds(text.toUtf8());
    QCOMPARE(seconds.has_value(), hasNumber);
    if (seconds)
        QCOMPARE(TextForms::DurationText(*seconds), text);
}

void TestTextForms::summary() {
    QCOMPARE(TextForms::CallsSummaryText(0, 0), QStringLiteral("No calls"));
    QCOMPARE(TextForms::CallsSummaryText(1, 330), QStringLiteral("1 call, 0:05:30 talk time"));
    QCOMPARE(TextForms::CallsSummaryText(17, 5025), QStringLiteral("17 calls, 1:23:45 talk time"));
    QCOMPARE(TextForms::CallsSummaryText(2, 97200), QStringLiteral("2 calls, 27:00:00 talk time"));
    // What reorders or hides text is shown, and adds no digit for the web lookup.
    QCOMPARE(TextForms::VisibleText(QStringLiteral("+44\u202E7770691")),
             QStringLiteral("+44[RLO]7770691"));
    QCOMPARE(TextForms::VisibleText(QStringLiteral("1\t2")), QStringLiteral("1\u24092"));
    QCOMPARE(TextForms::CallsSummaryText(18, 96199, 1),
             QStringLiteral("18 calls, 26:43:19 talk time, 1 duration unreadable"));
}

void TestTextForms::formulas_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("formula");
    QTest::newRow("equals") << QByteArray("=HYPERLINK(\"http://x\",\"y\")") << true;
    QTest::newRow("at") << QByteArray("@SUM(A1:A9)") << true;
    QTest::newRow("minus before a command") << QByteArray("-2+3+cmd|' /C calc'!A0") << true;
    QTest::newRow("plus before a formula") << QByteArray("+A1") << true;
    QTest::newRow("tab first") << QByteArray("\t=1") << true;
    QTest::newRow("carriage return first") << QByteArray("\r=1") << true;
    QTest::newRow("line feed first") << QByteArray("\n=1") << true;
    QTest::newRow("international number with blanks") << QByteArray("+44 1632 960777") << false;
    QTest::newRow("international number") << QByteArray("+441632960777") << false;
    QTest::newRow("negative number") << QByteArray("-5") << false;
    QTest::newRow("negative duration") << QByteArray("-0:05:00") << false;
    QTest::newRow("fraction") << QByteArray("-1.5") << false;
    QTest::newRow("sign alone") << QByteArray("-") << false;
    QTest::newRow("plain number") << QByteArray("1632960777") << false;
    QTest::newRow("equals later") << QByteArray("101=x") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("digit of another script") << QByteArray("+\xd9\xa4") << true;
}

void TestTextForms::formulas() {
    QFETCH(QByteArray, text);
    QFETCH(bool, formula);
    QCOMPARE(TextForms::RunsAsFormula(text), formula);
}

void TestTextForms::wholeSeconds_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<qint64>("whole");
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    constexpr qint64 least = std::numeric_limits<qint64>::min();
    QTest::newRow("rounded down") << 59.9 << qint64(59);
    QTest::newRow("negative rounded down") << -0.5 << qint64(-1);
    QTest::newRow("largest exact") << 9007199254740992.0 << qint64(9007199254740992);
    QTest::newRow("beyond a qint64") << 3.6e23 << most;
    QTest::newRow("beyond, backwards") << -3.6e23 << least;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << most;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << qint64(0);
}

void TestTextForms::wholeSeconds() {
    QFETCH(double, seconds);
    QFETCH(qint64, whole);
    QCOMPARE(TextForms::WholeSeconds(seconds), whole);
}

void TestTextForms::localeForms_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("start");
    QTest::newRow("C") << "C"
                       << "3/1/2024"
                       << "3/1/2024 3:15:42 PM";
    QTest::newRow("en_US") << "en_US"
                           << "3/1/2024"
                           << "3/1/2024 3:15:42 PM";
    QTest::newRow("en_GB") << "en_GB"
                           << "01/03/2024"
                           << "01/03/2024 15:15:42";
    QTest::newRow("de_DE") << "de_DE"
                           << "01.03.2024"
                           << "01.03.2024 15:15:42";
    // Their time forms write the zone in brackets: "H:mm:ss (t)".
    QTest::newRow("es_ES") << "es_ES"
                           << "1/3/2024"
                           << "1/3/2024 15:15:42";
    QTest::newRow("ca_ES") << "ca_ES"
                           << "1/3/2024"
                           << "1/3/2024 15:15:42";
    QTest::newRow("hr_HR") << "hr_HR"
                           << "01. 03. 2024."
                           << "01. 03. 2024. 15:15:42";
    QTest::newRow("eu_ES") << "eu_ES"
                           << "2024/3/1"
                           << "2024/3/1 15:15:42";
    QTest::newRow("nds_DE, a quoted word") << "nds_DE"
                                           << "1.03.2024"
                                           << "1.03.2024 Klock 15.15:42";
}

void TestTextForms::everyLocale_data() {
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::newRow(qPrintable(locale.bcp47Name())) << locale;
}

// In every locale, those whose digits lie outside the Basic Multilingual Plane (Adlam, Chakma)
// included, the date list's entry reaches the server as the same ISO day, and a start time
// keeps nothing of the time zone it leaves out.
void TestTextForms::everyLocale() {
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    const QString entry = TextForms::DateListEntries(QDate(2024, 3, 1)).first();
    const QString iso = TextForms::DateTextToIso(entry);
    const QString shown =
        TextForms::StartTimeText(*TextForms::StartSecondsOf({2024, 3, 1, 15, 15, 42}));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(iso, QStringLiteral("2024-03-01"));
    QVERIFY2(shown.startsWith(entry + u' '), qPrintable(shown));
    QVERIFY2(!shown.contains(u'(') && !shown.contains(u'[') && shown == shown.trimmed(),
             qPrintable(shown));
}

// The date list and "Start Time" in the locale's forms; the day sent to the database is the
// same in each.
void TestTextForms::localeForms() {
    QFETCH(QString, locale);
    QFETCH(QString, date);
    QFETCH(QString, start);
    QLocale::setDefault(QLocale(locale));
    const QString entry = TextForms::DateListEntries(QDate(2024, 3, 1)).first();
    const QString shown =
        TextForms::StartTimeText(*TextForms::StartSecondsOf({2024, 3, 1, 15, 15, 42}));
    const QString midnight =
        TextForms::StartTimeText(*TextForms::StartSecondsOf({2024, 3, 1, 0, 0, 0}));
    const QString iso = TextForms::DateTextToIso(entry);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(entry, date);
    QCOMPARE(shown, start);
    QCOMPARE(midnight, date);
    QCOMPARE(iso, QStringLiteral("2024-03-01"));
}

QTEST_GUILESS_MAIN(TestTextForms)
#include "tst_textforms.moc"
