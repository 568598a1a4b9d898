#include "googlecode.h"
#include "numcrunch.h"

#include <QtTest>

class TestNumCrunch : public QObject {
    Q_OBJECT
private slots:
    void searchTerm_data();
    void searchTerm();
    void lookupAddress_data();
    void lookupAddress();
};

void TestNumCrunch::searchTerm_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("term");
    QTest::newRow("ten digits") << "5551234567"
                                << "5551234567"
                                << "555-123-4567";
    QTest::newRow("punctuated ten") << "(555) 123-4567"
                                    << "5551234567"
                                    << "555-123-4567";
    QTest::newRow("eleven digits kept whole") << "15551234567"
                                              << "15551234567"
                                              << "15551234567";
    QTest::newRow("seven digits kept whole") << "123 4567"
                                             << "1234567"
                                             << "1234567";
    QTest::newRow("no digits") << "abc"
                               << ""
                               << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("non-ASCII digits dropped") << QString::fromUtf8("٣٣5551234567") << "5551234567"
                                              << "555-123-4567";
}

void TestNumCrunch::searchTerm() {
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QFETCH(QString, term);
    QCOMPARE(NumCrunch::DigitsOnly(text), digits);
    QCOMPARE(NumCrunch::FormatPhoneNumber(NumCrunch::DigitsOnly(text)), term);
    QCOMPARE(GoogleCode::SearchAddressForNumber(text).toString(QUrl::FullyEncoded),
             "https://www.google.com/search?hl=en&q=" + term + "&btnG=Google+Search");
}

void TestNumCrunch::lookupAddress_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("lookupUrl");
    QTest::addColumn<QString>("address"); // empty: refused
    const QString google = "https://www.google.com/search?hl=en&q=%1&btnG=Google+Search";
    QTest::newRow("Google, plus kept") << "+441632960777"
                                       << "" << google.arg("%2B441632960777");
    QTest::newRow("Google, ten digits dashed") << "5551234567"
                                               << "" << google.arg("555-123-4567");
    QTest::newRow("Google, blank setting") << " +1 555 123 4567"
                                           << "  " << google.arg("%2B15551234567");
    QTest::newRow("own directory, number as written")
        << "+44 1632 960777"
        << "https://pbx.example.net/dir?q=%s"
        << "https://pbx.example.net/dir?q=%2B44%201632%20960777";
    QTest::newRow("own directory, query characters encoded")
        << "101&x=1#y"
        << "http://dir.example.net/%s/card"
        << "http://dir.example.net/101%26x%3D1%23y/card";
    QTest::newRow("no number mark") << "101"
                                    << "https://dir.example.net/search"
                                    << "";
    QTest::newRow("not a web address") << "101"
                                       << "file:///etc/%s"
                                       << "";
    QTest::newRow("no host") << "101"
                             << "https:///%s"
                             << "";
}

void TestNumCrunch::lookupAddress() {
    QFETCH(QString, number);
    QFETCH(QString, lookupUrl);
    QFETCH(QString, address);
    const Result<QUrl> made = GoogleCode::LookupAddressForNumber(number, lookupUrl);
    QCOMPARE(made.ok(), !address.isEmpty());
    if (made.ok())
        QCOMPARE(made.value.toString(QUrl::FullyEncoded), address);
    else
        QVERIFY(made.reason().contains(lookupUrl));
}

QTEST_GUILESS_MAIN(TestNumCrunch)
#include "tst_numcrunch.moc"
