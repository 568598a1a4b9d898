#include "googlecode.h"
#include "numcrunch.h"

#include <QtTest>

class TestNumCrunch : public QObject {
    Q_OBJECT
private slots:
    void searchTerm_data();
    void searchTerm();
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

QTEST_GUILESS_MAIN(TestNumCrunch)
#include "tst_numcrunch.moc"
