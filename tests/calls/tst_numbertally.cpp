// The numbers with the most calls: most first, equals in the order of their text, however many
// numbers were met and however many are asked for.
#include "activity.h"

#include <QtTest>

class TestNumberTally : public QObject {
    Q_OBJECT
private slots:
    void top_data();
    void top();
};

void TestNumberTally::top_data() {
    QTest::addColumn<QStringList>("calls"); // "from>to" for each call
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("expected"); // "number:calls", most first
    QTest::newRow("none met") << QStringList{} << 3 << QStringList{};
    QTest::newRow("none asked") << QStringList{"101>555"} << 0 << QStringList{};
    QTest::newRow("fewer met than asked")
        << QStringList{"101>555", "101>556"} << 5 << QStringList{"101:2", "555:1", "556:1"};
    QTest::newRow("equals by their text")
        << QStringList{"9>1", "8>2", "7>3", "3>2"} << 4 << QStringList{"2:2", "3:2", "1:1", "7:1"};
    QTest::newRow("the last kept displaced by a later one")
        << QStringList{"1>2", "3>4", "5>6", "5>7", "5>8", "8>9"} << 2
        << QStringList{"5:3", "8:2"};
    QTest::newRow("a call to itself counts once")
        << QStringList{"4>4", "4>4", "5>6", "5>6", "5>6"} << 3 << QStringList{"5:3", "6:3", "4:2"};
}

void TestNumberTally::top() {
    QFETCH(QStringList, calls);
    QFETCH(int, count);
    QFETCH(QStringList, expected);
    Activity::NumberTally tally;
    for (const QString& call : calls) {
        const QList<QByteArray> sides = call.toLatin1().split('>');
        tally.add(sides[0], sides[1], 30.0);
    }
    QStringList found;
    for (const auto& [number, figures] : tally.top(count))
        found << QStringLiteral("%1:%2").arg(QString::fromLatin1(number)).arg(figures.calls());
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(TestNumberTally)
#include "tst_numbertally.moc"
