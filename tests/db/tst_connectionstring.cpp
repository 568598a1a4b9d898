#include "connectionstring.h"
#include "dbroutines.h"

#include <QtTest>

class TestConnectionString : public QObject {
    Q_OBJECT
private slots:
    void quotedValuesParseBack_data();
    void quotedValuesParseBack();
    void keysAreTrimmed();
    void malformedIsRejected();
    void startTimeText_data();
    void startTimeText();
};

void TestConnectionString::startTimeText_data() {
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
}

void TestConnectionString::startTimeText() {
    QFETCH(QString, driver);
    QFETCH(QString, shown);
    QCOMPARE(dbRoutines::StartTimeTextFromDriver(driver), shown);
}

void TestConnectionString::quotedValuesParseBack_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "admin"
                           << "admin";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("equals stays plain") << "a=b"
                                        << "a=b";
    QTest::newRow("semicolon") << "se;c"
                               << "{se;c}";
    QTest::newRow("braces") << "se;c=r{e}t "
                            << "{se;c=r{e}}t }";
    QTest::newRow("edge blanks stay plain") << " x "
                                            << " x ";
    QTest::newRow("option smuggling") << "x;Server=evil"
                                      << "{x;Server=evil}";
    QTest::newRow("closing brace first") << "}"
                                         << "{}}}";
}

void TestConnectionString::quotedValuesParseBack() {
    QFETCH(QString, value);
    QFETCH(QString, written);
    QCOMPARE(QuoteConnectionValue(value), written);
    const QString text = "Driver={PostgreSQL Unicode}; UID=" + QuoteConnectionValue(value) +
                         "; PWD=" + QuoteConnectionValue(value);
    const auto pairs = ParseConnectionString(text);
    QVERIFY(pairs);
    const ConnectionPairs expected{
        {"Driver", "PostgreSQL Unicode"}, {"UID", value}, {"PWD", value}};
    QCOMPARE(*pairs, expected);
}

void TestConnectionString::keysAreTrimmed() {
    QCOMPARE(NormalizeConnectionString(
                 "Driver={PostgreSQL Unicode}; Server=localhost; PORT=5480; UID= a b; "
                 "PWD={p;w};A7=50;USEDECLAREFETCH =1"),
             QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;PORT=5480;UID= a b;"
                            "PWD={p;w};A7=50;USEDECLAREFETCH=1;"));
}

void TestConnectionString::malformedIsRejected() {
    QVERIFY(!ParseConnectionString("PWD={open"));
    QVERIFY(!ParseConnectionString("PWD={a}b"));
    QVERIFY(!ParseConnectionString("novalue;UID=x"));
    QCOMPARE(NormalizeConnectionString("PWD={open"), QStringLiteral("PWD={open"));
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
