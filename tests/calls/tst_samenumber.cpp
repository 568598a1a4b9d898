// One number however it is written, read in the region's way, against the forms people and
// phone systems write.
#include "samenumber.h"

#include <QtTest>

class TestSameNumber : public QObject {
    Q_OBJECT
private slots:
    void writtenForms_data();
    void writtenForms();
    void lastDigits_data();
    void lastDigits();
    void unknownRegionIsRefused();
    void regionOfLocale_data();
    void regionOfLocale();
    void regionChoice_data();
    void regionChoice();
};

void TestSameNumber::writtenForms_data() {
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("same");
    const struct {
        const char *region, *typed, *stored;
        bool same;
    } rows[] = {
        {"GB", "+44 1632 960777", "+441632960777", true},
        {"GB", "+44 1632 960777", "0044 1632 960777", true},
        {"GB", "+44 1632 960777", "01632 960777", true},
        {"GB", "+44 1632 960777", "(01632) 960-777", true},
        {"GB", "01632960777", "+44 1632 960777", true},
        {"GB", "01632960777", "+4911632960777", false},
        {"GB", "01632960777", "01632960778", false},
        {"GB", "01632960777", "", false},
        {"GB", "301", "301", true},
        {"GB", "301", "0301", false},
        {"GB", "301", "+44 301", false},
        {"GB", "999", "999", true},
        {"GB", "999", "0999", false},
        {"US", "(201) 555-0123", "+1 201 555 0123", true},
        {"US", "(201) 555-0123", "1-201-555-0123", true},
        {"US", "(201) 555-0123", "201.555.0123", true},
        {"US", "(201) 555-0123", "011 1 201 555 0123", true},
        {"US", "(201) 555-0123", "+44 201 555 0123", false},
        {"US", "1-800-FLOWERS", "+1 800 356 9377", true},
        {"US", "1-800-FLOWERS", "18003569378", false},
        {"US", "911", "911", true},
        {"US", "911", "+1 911", false},
        {"DE", "030 123456", "+49 30 123456", true},
        {"DE", "030 123456", "0049 30 123456", true},
        {"DE", "030 123456", "030/123456", true},
        {"DE", "030 123456", "+43 30 123456", false},
        {"DE", "+49 30 123456", "(030) 12 34 56", true},
        {"DE", "110", "110", true},
        {"DE", "110", "0110", false},
        {"DE", "hello", "hello", true},
        {"DE", "hello", "HELLO", false},
        {"DE", "", "", true},
        {"GB", "+4911632960777", "0049 1163 2960777", true},
        {"GB", "+4911632960777", "01632960777", false},
    };
    for (const auto& row : rows)
        QTest::addRow("%s %s = %s", row.region, row.typed, row.stored)
            << row.region << row.typed << row.stored << row.same;
}

void TestSameNumber::writtenForms() {
    QFETCH(QString, region);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, same);
    const auto number = calls::SameNumber::For(typed, region);
    QVERIFY2(number.ok(), qPrintable(number.reason()));
    QCOMPARE(number.value.matches(stored.toUtf8()), same);
    // Asked again, the remembered answer is the same.
    QCOMPARE(number.value.matches(stored.toUtf8()), same);
}

void TestSameNumber::lastDigits_data() {
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("digits");
    QTest::newRow("GB national") << "GB"
                                 << "(01632) 960-777"
                                 << "960777";
    QTest::newRow("GB international") << "GB"
                                      << "+44 1632 960777"
                                      << "960777";
    QTest::newRow("US letters") << "US"
                                << "1-800-FLOWERS"
                                << "569377";
    QTest::newRow("DE short national number") << "DE"
                                              << "030 123456"
                                              << "123456";
    QTest::newRow("extension") << "DE"
                               << "301"
                               << "";
    QTest::newRow("letters only") << "GB"
                                  << "abc"
                                  << "";
    QTest::newRow("empty") << "US"
                           << ""
                           << "";
}

void TestSameNumber::lastDigits() {
    QFETCH(QString, region);
    QFETCH(QString, typed);
    QFETCH(QString, digits);
    const auto number = calls::SameNumber::For(typed, region);
    QVERIFY(number.ok());
    QCOMPARE(number.value.lastDigits(), digits);
    QCOMPARE(number.value.isPhoneNumber(), !digits.isEmpty());
}

void TestSameNumber::unknownRegionIsRefused() {
    for (const char* region : {"", "XX", "GBR", "1"}) {
        const auto number = calls::SameNumber::For("+44 1632 960777", region);
        QVERIFY2(!number.ok(), region);
        QVERIFY(number.reason().startsWith(QString(region) + ':'));
    }
    QVERIFY(calls::SameNumber::For("+44 1632 960777", "gb").ok());
}

void TestSameNumber::regionOfLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("region");
    QTest::newRow("full") << "en_GB.UTF-8"
                          << "GB";
    QTest::newRow("modifier") << "de_DE@euro"
                              << "DE";
    QTest::newRow("both") << "de_AT.UTF-8@euro"
                          << "AT";
    QTest::newRow("plain") << "en_US"
                           << "US";
    QTest::newRow("C") << "C"
                       << "";
    QTest::newRow("C.UTF-8") << "C.UTF-8"
                             << "";
    QTest::newRow("POSIX") << "POSIX"
                           << "";
    QTest::newRow("language only") << "de"
                                   << "";
    QTest::newRow("unset") << ""
                           << "";
}

void TestSameNumber::regionOfLocale() {
    QFETCH(QString, locale);
    QFETCH(QString, region);
    QCOMPARE(calls::RegionOfLocaleName(locale).value_or(QString()), region);
}

void TestSameNumber::regionChoice_data() {
    QTest::addColumn<QStringList>("sources"); // setting, option, LC_ALL, LC_TELEPHONE, LANG
    QTest::addColumn<QString>("region");
    QTest::newRow("setting first") << QStringList{"gb", "US", "de_DE", "de_DE", "de_DE"} << "GB";
    QTest::newRow("then the option") << QStringList{"", "us", "de_DE", "", ""} << "US";
    QTest::newRow("then LC_ALL") << QStringList{"", "", "de_AT.UTF-8", "en_GB", "en_US"} << "AT";
    QTest::newRow("C passes on") << QStringList{"", "", "C.UTF-8", "en_GB", "en_US"} << "GB";
    QTest::newRow("then LANG") << QStringList{"", "", "", "", "en_US.UTF-8"} << "US";
    QTest::newRow("none") << QStringList{"", " ", "C", "POSIX", "C.UTF-8"} << "";
}

void TestSameNumber::regionChoice() {
    QFETCH(QStringList, sources);
    QFETCH(QString, region);
    QCOMPARE(calls::ChooseRegion(sources[0], sources[1], sources[2], sources[3], sources[4]),
             region);
}

QTEST_GUILESS_MAIN(TestSameNumber)
#include "tst_samenumber.moc"
