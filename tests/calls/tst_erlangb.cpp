// Erlang B against published table values: the lines needed for a traffic at a blocking.
#include "erlangb.h"

#include <QtTest>

class TestErlangB : public QObject {
    Q_OBJECT
private slots:
    void linesNeeded_data();
    void linesNeeded();
    void largeTrafficStaysFinite();
};

void TestErlangB::linesNeeded_data() {
    QTest::addColumn<double>("erlangs");
    QTest::addColumn<double>("blocking");
    QTest::addColumn<int>("lines");
    QTest::newRow("5 E at 1%") << 5.0 << 0.01 << 11;
    QTest::newRow("10 E at 1%") << 10.0 << 0.01 << 18;
    QTest::newRow("20 E at 1%") << 20.0 << 0.01 << 30;
    QTest::newRow("1 E at 1%") << 1.0 << 0.01 << 5;
    QTest::newRow("2 E at 1%") << 2.0 << 0.01 << 7;
    QTest::newRow("50 E at 1%") << 50.0 << 0.01 << 64;
    QTest::newRow("5 E at 5%") << 5.0 << 0.05 << 9;
    QTest::newRow("100 E at 0.1%") << 100.0 << 0.001 << 128;
    QTest::newRow("a few seconds need a line") << 0.001 << 0.01 << 1;
    QTest::newRow("no traffic") << 0.0 << 0.01 << 0;
    QTest::newRow("negative traffic") << -3.0 << 0.01 << 0;
    QTest::newRow("not a number") << std::nan("") << 0.01 << 0;
}

void TestErlangB::linesNeeded() {
    QFETCH(double, erlangs);
    QFETCH(double, blocking);
    QFETCH(int, lines);
    QCOMPARE(calls::LinesNeeded(erlangs, blocking), lines);
    if (lines > 0) {
        QVERIFY(calls::ErlangB(erlangs, lines) <= blocking);
        QVERIFY(calls::ErlangB(erlangs, lines - 1) > blocking);
    }
}

// Factorials of this size overflow a double; the recurrence does not.
void TestErlangB::largeTrafficStaysFinite() {
    const double blocked = calls::ErlangB(1000.0, 1000);
    QVERIFY(std::isfinite(blocked));
    QVERIFY(blocked > 0 && blocked < 0.05);
    QCOMPARE(calls::LinesNeeded(1000.0, 0.01), 1029);
}

QTEST_GUILESS_MAIN(TestErlangB)
#include "tst_erlangb.moc"
