#include "minutecells.h"

#include <QtTest>

struct Row {
    QString from, start, duration;
};

class TestMinuteCells : public QObject {
    Q_OBJECT
private slots:
    void rule_data();
    void rule();
    void secondRedrawHidesWhatIsGone();
};

Q_DECLARE_METATYPE(QList<int>)

// Ranges are written as first..last pairs of minutes.
static QList<int> cellsOf(const std::bitset<kMinutesPerDay>& bits) {
    QList<int> ranges;
    for (int m = 0; m < kMinutesPerDay; ++m) {
        if (!bits.test(size_t(m)))
            continue;
        if (!ranges.isEmpty() && ranges.last() == m - 1)
            ranges.last() = m;
        else
            ranges << m << m;
    }
    return ranges;
}

void TestMinuteCells::rule_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QList<int>>("fromCells");
    QTest::addColumn<QList<int>>("toCells");

    const QString day = QStringLiteral("8/23/2008 ");
    QTest::newRow("5.5 minutes cover five") << "101"
                                            << "101" << day + "3:15:42 PM"
                                            << "0:05:30" << QList<int>{915, 919} << QList<int>{};
    QTest::newRow("20 s covers one") << "101"
                                     << "101" << day + "3:15:42 PM"
                                     << "0:00:20" << QList<int>{915, 915} << QList<int>{};
    QTest::newRow("zero covers one") << "101"
                                     << "555" << day + "3:15:42 PM"
                                     << "0:00:00" << QList<int>{} << QList<int>{915, 915};
    QTest::newRow("1:59 covers one") << "101"
                                     << "101" << day + "1:00:00 AM"
                                     << "0:01:59" << QList<int>{60, 60} << QList<int>{};
    QTest::newRow("2:00 covers two") << "101"
                                     << "101" << day + "1:00:00 AM"
                                     << "0:02:00" << QList<int>{60, 61} << QList<int>{};
    QTest::newRow("past midnight clipped") << "101"
                                           << "101" << day + "11:58:30 PM"
                                           << "0:05:00" << QList<int>{1438, 1439} << QList<int>{};
    QTest::newRow("into the next column") << "101"
                                          << "101" << day + "10:58:00 AM"
                                          << "0:05:00" << QList<int>{658, 662} << QList<int>{};
    QTest::newRow("midnight start") << "101"
                                    << "101" << day + "12:00:05 AM"
                                    << "0:00:30" << QList<int>{0, 0} << QList<int>{};
    QTest::newRow("noon start") << "101"
                                << "101" << day + "12:00:05 PM"
                                << "0:00:30" << QList<int>{720, 720} << QList<int>{};
    QTest::newRow("date alone is midnight") << "101"
                                            << "101"
                                            << "8/23/2008"
                                            << "0:03:00" << QList<int>{0, 2} << QList<int>{};
    QTest::newRow("unreadable duration not drawn") << "101"
                                                   << "101" << day + "3:15:42 PM"
                                                   << "x" << QList<int>{} << QList<int>{};
    QTest::newRow("unreadable start not drawn") << "101"
                                                << "101"
                                                << "garbage"
                                                << "0:03:00" << QList<int>{} << QList<int>{};
    QTest::newRow("empty reference") << ""
                                     << "101" << day + "3:15:42 PM"
                                     << "0:01:00" << QList<int>{} << QList<int>{915, 915};
    QTest::newRow("case differs") << "abc"
                                  << "ABC" << day + "3:15:42 PM"
                                  << "0:01:00" << QList<int>{} << QList<int>{915, 915};
    QTest::newRow("blanks differ") << "101"
                                   << " 101" << day + "3:15:42 PM"
                                   << "0:01:00" << QList<int>{} << QList<int>{915, 915};
    QTest::newRow("huge duration ends the day")
        << "101"
        << "101" << day + "11:00:00 PM"
        << "99999999999:00:00" << QList<int>{1380, 1439} << QList<int>{};
    QTest::newRow("negative start clipped") << "101"
                                            << "101" << day + "-1:58:00 AM"
                                            << "0:05:00" << QList<int>{0, 2} << QList<int>{};
    QTest::newRow("negative duration covers its start minute")
        << "101"
        << "101" << day + "3:15:42 PM"
        << "-00:05:00" << QList<int>{915, 915} << QList<int>{};
    QTest::newRow("start past the day") << "101"
                                        << "101" << day + "30:00:00"
                                        << "0:05:00" << QList<int>{} << QList<int>{};
}

void TestMinuteCells::rule() {
    QFETCH(QString, reference);
    QFETCH(QString, from);
    QFETCH(QString, start);
    QFETCH(QString, duration);
    QFETCH(QList<int>, fromCells);
    QFETCH(QList<int>, toCells);
    MinuteCells cells;
    AddCallToCells(cells, from, start, duration, reference);
    QCOMPARE(cellsOf(cells.from), fromCells);
    QCOMPARE(cellsOf(cells.to), toCells);
}

void TestMinuteCells::secondRedrawHidesWhatIsGone() {
    // Both tracks on one minute, then a redraw from fewer rows.
    MinuteCells first;
    AddCallToCells(first, u"101", u"8/23/2008 9:00:00 AM", u"0:10:00", u"101");
    AddCallToCells(first, u"555", u"8/23/2008 9:05:00 AM", u"0:01:00", u"101");
    QVERIFY(first.from.test(545) && first.to.test(545));
    MinuteCells second;
    AddCallToCells(second, u"555", u"8/23/2008 9:05:00 AM", u"0:01:00", u"101");
    QCOMPARE(cellsOf(second.from), QList<int>{});
    QCOMPARE(cellsOf(second.to), (QList<int>{545, 545}));
}

QTEST_GUILESS_MAIN(TestMinuteCells)
#include "tst_minutecells.moc"
