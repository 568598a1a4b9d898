#include "connectionstring.h"

#include <QtTest>

class TestConnectionString : public QObject {
    Q_OBJECT
private slots:
    void quotedValuesParseBack_data();
    void quotedValuesParseBack();
    void keysAreTrimmed();
    void malformedIsRejected();
};

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
