#include "textforms.h"

#include <QtTest>

class TestTextForms : public QObject {
    Q_OBJECT
private slots:
    void startTimeText_data();
    void startTimeText();
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
}

void TestTextForms::startTimeText() {
    QFETCH(QString, driver);
    QFETCH(QString, shown);
    QCOMPARE(TextForms::StartTimeTextFromDriver(driver), shown);
}

QTEST_GUILESS_MAIN(TestTextForms)
#include "tst_textforms.moc"
