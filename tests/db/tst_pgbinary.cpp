#include "pgbinary.h"

#include <QtTest>

namespace {

QByteArray bigEndian(qint64 value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xff);
    return bytes;
}

const QByteArray kHeader = QByteArray("PGCOPY\n\377\r\n", 11) + bigEndian(0, 4) + bigEndian(0, 4);
const QByteArray kTrailer = bigEndian(-1, 2);

// A row of two fields; a null QByteArray is NULL.
QByteArray row(const QByteArray& first, const QByteArray& second) {
    QByteArray bytes = bigEndian(2, 2);
    for (const QByteArray& field : {first, second})
        bytes += field.isNull() ? bigEndian(-1, 4) : bigEndian(field.size(), 4) + field;
    return bytes;
}

QByteArray interval(qint64 microseconds, qint32 days, qint32 months) {
    return bigEndian(microseconds, 8) + bigEndian(days, 4) + bigEndian(months, 4);
}

constexpr qint64 kSecond = 1000000;
constexpr qint64 kDay = 86400 * kSecond;

} // namespace

class TestPgBinary : public QObject {
    Q_OBJECT
private slots:
    void copyMessagesAreRead_data();
    void copyMessagesAreRead();
    void plainCallsAreThoseTheServerSums_data();
    void plainCallsAreThoseTheServerSums();
    void daysCountFrom1970_data();
    void daysCountFrom1970();
};

void TestPgBinary::copyMessagesAreRead_data() {
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<bool>("ended");
    const QByteArray one = row("a", QByteArray());
    const QByteArray extension =
        QByteArray("PGCOPY\n\377\r\n", 11) + bigEndian(0, 4) + bigEndian(3, 4) + "xyz";
    QTest::newRow("header with the first row")
        << QList{kHeader + one, one, kTrailer} << 2 << true << true;
    QTest::newRow("header alone") << QList{kHeader, one, kTrailer} << 1 << true << true;
    QTest::newRow("no rows") << QList{kHeader + kTrailer} << 0 << true << true;
    QTest::newRow("an extension area skipped")
        << QList{extension + one, kTrailer} << 1 << true << true;
    QTest::newRow("cut short") << QList{kHeader + one} << 1 << true << false;
    QTest::newRow("not a copy") << QList{QByteArray("PGCOPX\n\377\r\n", 11) + one} << 0 << false
                                << false;
    QTest::newRow("a row after the end") << QList{kHeader, kTrailer, one} << 0 << false << true;
}

void TestPgBinary::copyMessagesAreRead() {
    QFETCH(QList<QByteArray>, messages);
    QFETCH(int, rows);
    QFETCH(bool, wellFormed);
    QFETCH(bool, ended);
    BinaryCopyReader reader;
    int read = 0;
    bool malformed = false;
    for (const QByteArray& message : messages) {
        const BinaryCopyReader::Read taken = reader.take(message);
        malformed |= taken == BinaryCopyReader::Read::Malformed;
        if (taken != BinaryCopyReader::Read::Row)
            continue;
        ++read;
        std::array<std::optional<QByteArrayView>, 2> fields;
        QVERIFY(pgbinary::RowFields(reader.row(), fields));
        QCOMPARE(fields[0]->toByteArray(), QByteArray("a"));
        QVERIFY(!fields[1]);
        std::array<std::optional<QByteArrayView>, 3> tooMany;
        QVERIFY(!pgbinary::RowFields(reader.row(), tooMany));
        QVERIFY(!pgbinary::RowFields(reader.row().chopped(1), fields));
    }
    QCOMPARE(read, rows);
    QCOMPARE(!malformed, wellFormed);
    QCOMPARE(reader.ended(), ended);
}

void TestPgBinary::plainCallsAreThoseTheServerSums_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<QByteArray>("duration");
    QTest::addColumn<qint64>("seconds"); // -1: left to the program
    const qint64 noon = 12 * 3600 * kSecond;
    const qint64 first = -730119 * kDay; // 0001-01-01
    const qint64 end = 2921940 * kDay;   // 10000-01-01
    QTest::newRow("a call") << noon << interval(95 * kSecond, 0, 0) << qint64(95);
    QTest::newRow("no talk time") << noon << interval(0, 0, 0) << qint64(0);
    QTest::newRow("a second short of a day")
        << noon << interval(kDay - kSecond, 0, 0) << qint64(86399);
    QTest::newRow("a day") << noon << interval(kDay, 0, 0) << qint64(-1);
    QTest::newRow("negative") << noon << interval(-kSecond, 0, 0) << qint64(-1);
    QTest::newRow("a fraction") << noon << interval(90 * kSecond + 1, 0, 0) << qint64(-1);
    QTest::newRow("a day less an hour") << noon << interval(-3600 * kSecond, 1, 0) << qint64(-1);
    QTest::newRow("a month less 30 days") << noon << interval(0, -30, 1) << qint64(-1);
    QTest::newRow("no duration") << noon << QByteArray() << qint64(-1);
    QTest::newRow("the first day") << first << interval(kSecond, 0, 0) << qint64(1);
    QTest::newRow("before it") << first - 1 << interval(kSecond, 0, 0) << qint64(-1);
    QTest::newRow("the last second of 9999")
        << end - kSecond << interval(kSecond, 0, 0) << qint64(1);
    QTest::newRow("10000") << end << interval(kSecond, 0, 0) << qint64(-1);
    QTest::newRow("infinity") << std::numeric_limits<qint64>::max() << interval(kSecond, 0, 0)
                              << qint64(-1);
}

void TestPgBinary::plainCallsAreThoseTheServerSums() {
    QFETCH(qint64, start);
    QFETCH(QByteArray, duration);
    QFETCH(qint64, seconds);
    const auto stored = duration.isNull() ? std::nullopt : pgbinary::IntervalOf(duration);
    QCOMPARE(pgbinary::PlainCallSeconds(pgbinary::Timestamp(bigEndian(start, 8)), stored),
             seconds < 0 ? std::nullopt : std::optional<qint64>(seconds));
}

void TestPgBinary::daysCountFrom1970_data() {
    QTest::addColumn<qint64>("timestamp");
    QTest::addColumn<qint64>("day");
    QTest::addColumn<qint64>("microsecond");
    QTest::newRow("2000-01-01") << qint64(0) << qint64(10957) << qint64(0);
    QTest::newRow("its last microsecond") << kDay - 1 << qint64(10957) << kDay - 1;
    QTest::newRow("1999-12-31 23:59:59.5") << -kSecond / 2 << qint64(10956) << kDay - kSecond / 2;
    QTest::newRow("1970-01-01") << -10957 * kDay << qint64(0) << qint64(0);
    QTest::newRow("1969-12-31 00:00:01") << -10958 * kDay + kSecond << qint64(-1) << kSecond;
}

void TestPgBinary::daysCountFrom1970() {
    QFETCH(qint64, timestamp);
    QFETCH(qint64, day);
    QFETCH(qint64, microsecond);
    QCOMPARE(pgbinary::DaySince1970(timestamp), day);
    QCOMPARE(pgbinary::MicrosecondOfDay(timestamp), microsecond);
}

QTEST_GUILESS_MAIN(TestPgBinary)
#include "tst_pgbinary.moc"
