#include "callcells.h"
#include "calltexts.h"

#include <QtTest>

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

    const QString day = QStringLiteral("2008-08-23 ");
    const auto row = [&day](const char* name, const char* reference, const char* from,
                            const char* time, const QString& duration, QList<int> fromCells,
                            QList<int> toCells) {
        QTest::newRow(name) << QString(reference) << QString(from) << day + time << duration
                            << fromCells << toCells;
    };
    row("5.5 minutes cover five", "101", "101", "15:15:42", "00:05:30", {915, 919}, {});
    row("20 s covers one", "101", "101", "15:15:42", "00:00:20", {915, 915}, {});
    row("zero covers one", "101", "555", "15:15:42", "00:00:00", {}, {915, 915});
    row("1:59 covers one", "101", "101", "01:00:00", "00:01:59", {60, 60}, {});
    row("2:00 covers two", "101", "101", "01:00:00", "00:02:00", {60, 61}, {});
    row("past midnight clipped", "101", "101", "23:58:30", "00:05:00", {1438, 1439}, {});
    row("into the next column", "101", "101", "10:58:00", "00:05:00", {658, 662}, {});
    row("midnight start", "101", "101", "00:00:05", "00:00:30", {0, 0}, {});
    row("noon start", "101", "101", "12:00:05", "00:00:30", {720, 720}, {});
    row("exactly midnight", "101", "101", "00:00:00", "00:03:00", {0, 2}, {});
    row("unreadable duration not drawn", "101", "101", "15:15:42", "x", {}, {});
    row("empty reference", "", "101", "15:15:42", "00:01:00", {}, {915, 915});
    row("case differs", "abc", "ABC", "15:15:42", "00:01:00", {}, {915, 915});
    row("blanks differ", "101", " 101", "15:15:42", "00:01:00", {}, {915, 915});
    row("huge duration ends the day", "101", "101", "23:00:00", "2562047788:00:00", {1380, 1439},
        {});
    row("beyond the longest duration is none", "101", "101", "23:00:00",
        "99999999999999999999:00:00", {}, {});
    row("negative duration covers its start minute", "101", "101", "15:15:42", "-00:05:00",
        {915, 915}, {});
    // Texts the driver never writes are read as the chart's reader reads them, everywhere.
    row("one-digit fields", "101", "101", "15:15:42", "0:5:3", {915, 919}, {});
    row("blank before the hours", "101", "101", "15:15:42", " 00:05:30", {915, 919}, {});
    row("61 minutes", "101", "101", "15:15:42", "00:61:00", {915, 975}, {});
    row("a fourth field", "101", "101", "15:15:42", "00:05:30:99", {915, 919}, {});
    QTest::newRow("unreadable start not drawn") << "101"
                                                << "101"
                                                << "garbage"
                                                << "00:03:00" << QList<int>{} << QList<int>{};
}

void TestMinuteCells::rule() {
    QFETCH(QString, reference);
    QFETCH(QString, from);
    QFETCH(QString, start);
    QFETCH(QString, duration);
    QFETCH(QList<int>, fromCells);
    QFETCH(QList<int>, toCells);
    const CallRows rows = CallsFromTexts({CallRow{from, "x", start, duration}});
    const MinuteCells cells = MinuteCellsOf(rows, reference.toUtf8());
    QCOMPARE(cellsOf(cells.from), fromCells);
    QCOMPARE(cellsOf(cells.to), toCells);
    // The talk time reads the same length as the chart.
    const auto seconds = rows.durationSeconds(0);
    QCOMPARE(seconds.has_value(), duration != "x" && !duration.startsWith("9999999"));
}

void TestMinuteCells::secondRedrawHidesWhatIsGone() {
    // Both tracks on one minute, then a redraw from fewer rows.
    const MinuteCells first =
        MinuteCellsOf(CallsFromTexts({CallRow{"101", "1", "2008-08-23 09:00:00", "00:10:00"},
                                      CallRow{"555", "1", "2008-08-23 09:05:00", "00:01:00"}}),
                      "101");
    QVERIFY(first.from.test(545) && first.to.test(545));
    const MinuteCells second = MinuteCellsOf(
        CallsFromTexts({CallRow{"555", "1", "2008-08-23 09:05:00", "00:01:00"}}), "101");
    QCOMPARE(cellsOf(second.from), QList<int>{});
    QCOMPARE(cellsOf(second.to), (QList<int>{545, 545}));
}

QTEST_GUILESS_MAIN(TestMinuteCells)
#include "tst_minutecells.moc"
