#include "connectionstring.h"

#include <QtTest>

class TestConnectionString : public QObject {
    Q_OBJECT
private slots:
    void quotedValuesParseBack_data();
    void quotedValuesParseBack();
    void keysAreTrimmed();
    void malformedIsRejected_data();
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
    QCOMPARE(pairs.value, expected);
}

void TestConnectionString::keysAreTrimmed() {
    QCOMPARE(NormalizeConnectionString(
                 "Driver={PostgreSQL Unicode}; Server=localhost; PORT=5480; UID= a b; "
                 "PWD={p;w};A7=50;USEDECLAREFETCH =1"),
             QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;PORT=5480;UID= a b;"
                            "PWD={p;w};A7=50;USEDECLAREFETCH=1;"));
}

void TestConnectionString::malformedIsRejected_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unclosed brace") << "UID=x; PWD={s3cret"
                                    << "the value of PWD has no closing brace";
    QTest::newRow("text after brace") << "PWD={s3cret}tail; UID=x"
                                      << "text follows the closing brace of the value of PWD";
    QTest::newRow("part without equals") << "s3cret;UID=x"
                                         << "a part has no \"=\"";
    QTest::newRow("last part without equals") << "UID=x; s3cret"
                                              << "the last part has no \"=\"";
    QTest::newRow("value without key") << "UID=x; =s3cret"
                                       << "a value has no key";
}

void TestConnectionString::malformedIsRejected() {
    QFETCH(QString, text);
    QFETCH(QString, reason);
    const auto pairs = ParseConnectionString(text);
    QVERIFY(!pairs);
    QCOMPARE(pairs.reason(), reason);
    // The driver gets a string it cannot parse as it was, to reject in its own words.
    QCOMPARE(NormalizeConnectionString(text), text);
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
