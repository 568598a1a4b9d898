// The spreadsheet and PDF files of the terminal reports, written by the real program from the
// test database and read back by independent readers (openpyxl, pdftotext) against what SQL
// says of the same rows.
#include "testdatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <sys/mount.h>
#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray runTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

QJsonArray readXlsx(const QString& path) {
    return QJsonDocument::fromJson(
               runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_XLSX), path}))
        .array();
}

// A cell as the reader gives it: [type, value, number format].
QString cellText(const QJsonValue& cell) {
    const QJsonArray parts = cell.toArray();
    const QJsonValue value = parts[1];
    if (value.isNull())
        return QStringLiteral("<null>");
    if (value.isDouble())
        return parts[0].toString() + u':' + QString::number(value.toDouble(), 'f', 0);
    return parts[0].toString() + u':' + value.toString();
}

} // namespace

class TestFileReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void callsSpreadsheetHoldsTheStoredValues();
    void summarySheetsSum_data();
    void summarySheetsSum();
    void reportFiguresEqualSql();
    void refusals_data();
    void refusals();
    void fullDiskLeavesTheOldFile_data();
    void fullDiskLeavesTheOldFile();

private:
    Run run(const QStringList& arguments, const QString& tempFolder = {});
    QTemporaryDir dir_;
    QString settings_;
};

void TestFileReports::initTestCase() {
    REQUIRE_TEST_DATABASE();
    settings_ = dir_.filePath("local.cfg");
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        ("DBUSER=" + TestDatabase::user() + "\r\nDBPASS=" + TestDatabase::password() + "\r\n")
            .toUtf8());
}

void TestFileReports::init() {
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::execAll({
        "INSERT INTO public.dnallocation (value, kind) VALUES ('101', 1), ('102', 1)",
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101', '+441632960777', '00:05:30', '2026-12-08 15:15:42'),"
        "('01632960777', '102', '1 day 02:00:00', '2026-12-07 09:00:00'),"
        "('=1+1', NULL, NULL, '2026-12-08 10:00:00'),"
        "('102', E'a\\x01b\\tc', '-00:05:00', '2026-12-08 10:30:00'),"
        "('101', repeat('7', 1048576), '00:00:01.5', '2026-12-08 23:59:59'),"
        "('102', '101', '00:01:00', 'infinity')",
    }));
}

Run TestFileReports::run(const QStringList& arguments, const QString& tempFolder) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!tempFolder.isEmpty())
        env.insert("TMPDIR", tempFolder);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.start(LINETALLY_BINARY,
                  QStringList{arguments.first(), "--config", settings_} + arguments.mid(1));
    program.closeWriteChannel();
    Run result;
    if (!program.waitForFinished(120000))
        return result;
    result.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = program.readAllStandardOutput();
    result.err = program.readAllStandardError();
    return result;
}

// Numbers are string cells as stored (leading 0 and + kept, "=1+1" no formula), starts are
// date-time cells, durations [h]:mm:ss cells of the stored length; a start that is no date
// belongs to no period. Control characters take the spreadsheet's escape, and a megabyte number is
// cut to what a cell holds.
void TestFileReports::callsSpreadsheetHoldsTheStoredValues() {
    const QString path = dir_.filePath("calls.xlsx");
    const Run result = run({"calls", "--from", "2026-12-01", "--to", "2026-12-31", "--all",
                            "--format", "xlsx", "--output", path});
    QCOMPARE(result.status, 0);
    const QJsonArray sheets = readXlsx(path);
    QCOMPARE(sheets.size(), 1);
    const QJsonObject sheet = sheets[0].toObject();
    QCOMPARE(sheet["name"].toString(), "Calls");
    QCOMPARE(sheet["freeze"].toString(), "A2");
    QCOMPARE(sheet["filter"].toString(), "A1:E6");
    QStringList read;
    const QJsonArray rows = sheet["rows"].toArray();
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QStringList cells;
        for (const QJsonValue& cell : rows[r].toArray())
            cells << cellText(cell);
        read << cells.join(u'|');
    }
    const QStringList expected =
        TestDatabase::scalar(
            "SELECT string_agg("
            "'s:' || replace(from_no, repeat('7', 1048576), repeat('7', 32767)) || '|' || "
            "coalesce('s:' || replace(replace(to_no, E'\\x01', '_x0001_'), repeat('7', 1048576), "
            "repeat('7', 32767)), '<null>') || '|' || "
            "'d:' || to_char(starttime, 'YYYY-MM-DD\"T\"HH24:MI:SS') || '|' || "
            "coalesce('d:' || round(extract(epoch FROM dur))::text, '<null>') || '|' || "
            "coalesce('n:' || trunc(extract(epoch FROM dur))::text, '<null>'), '/' "
            "ORDER BY starttime) "
            "FROM public.callhistory2 WHERE isfinite(starttime)")
            .split('/');
    QCOMPARE(read, expected);
    QVERIFY(!sheet["rows"].toArray()[1].toArray()[2].toArray()[2].toString().isEmpty());
}

void TestFileReports::summarySheetsSum_data() {
    QTest::addColumn<QString>("by");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("talkColumn");
    QTest::newRow("hour") << "hour"
                          << "By hour" << 2;
    QTest::newRow("day") << "day"
                         << "By day" << 2;
    QTest::newRow("extension") << "extension"
                               << "By extension" << 4;
    QTest::newRow("number") << "number"
                            << "By number" << 4;
}

// Each summary is one sheet whose talk times are duration cells; those of the calls by hour and
// by day sum to the talk time SQL gives.
void TestFileReports::summarySheetsSum() {
    QFETCH(QString, by);
    QFETCH(QString, sheet);
    QFETCH(int, talkColumn);
    const QString path = dir_.filePath("summary.xlsx");
    const Run result = run({"summary", "--from", "2026-12-01", "--to", "2026-12-31", "--by", by,
                            "--format", "xlsx", "--output", path});
    QCOMPARE(result.status, 0);
    const QJsonArray sheets = readXlsx(path);
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0]["name"].toString(), sheet);
    const QJsonArray rows = sheets[0]["rows"].toArray();
    QCOMPARE(rows[0].toArray()[talkColumn].toArray()[1].toString(), "Talk time");
    double talk = 0;
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QJsonArray cell = rows[r].toArray()[talkColumn].toArray();
        QCOMPARE(cell[2].toString(), "[h]:mm:ss");
        talk += cell[1].toDouble();
    }
    if (by == "hour" || by == "day")
        QCOMPARE(talk, TestDatabase::scalar("SELECT sum(floor(extract(epoch FROM dur))) FROM "
                                            "public.callhistory2 WHERE dur > '0' AND "
                                            "isfinite(starttime)")
                           .toDouble());
}

// The figures of page one and the tables, as pdftotext reads them, are those SQL gives.
void TestFileReports::reportFiguresEqualSql() {
    const QString path = dir_.filePath("report.pdf");
    const Run result =
        run({"report", "--from", "2026-12-01", "--to", "2026-12-31", "--output", path});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    const QString text = QString::fromUtf8(runTool("pdftotext", {"-layout", path, "-"}))
                             .replace(QRegularExpression("[ \\t]+"), " ");
    const QString calls =
        TestDatabase::scalar("SELECT count(*) FROM public.callhistory2 WHERE isfinite(starttime)");
    const qint64 talk = TestDatabase::scalar("SELECT floor(sum(extract(epoch FROM dur))) FROM "
                                             "public.callhistory2 WHERE dur > '0' AND "
                                             "isfinite(starttime)")
                            .toLongLong();
    const QString talkText = QStringLiteral("%1:%2:%3")
                                 .arg(talk / 3600)
                                 .arg(talk / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(talk % 60, 2, 10, QLatin1Char('0'));
    const QString noTalk = TestDatabase::scalar(
        "SELECT count(*) FROM public.callhistory2 WHERE dur = '0' AND isfinite(starttime)");
    // The lines needed are those of the highest day that `capacity` finds.
    const Run capacity =
        run({"capacity", "--from", "2026-12-01", "--to", "2026-12-31", "--format", "csv"});
    QCOMPARE(capacity.status, 0);
    int lines = 0;
    for (const QByteArray& row : capacity.out.trimmed().split('\n').mid(1))
        lines = std::max(lines, row.split(',').last().toInt());
    const QStringList expected = {
        "Period: 2026-12-01 to 2026-12-31",
        "Calls: every call",
        "Calls " + calls + " Busiest hour ",
        "Talk time " + talkText + " ",
        "101 2 2 0 0:05:31",
        "+441632960777 1 0 1 0:05:30",
        "Page 1 of 2",
        "Page 2 of 2",
        "Calls with no talk time " + noTalk + " Lines needed " + QString::number(lines),
    };
    for (const QString& line : expected)
        QVERIFY2(text.contains(line), qPrintable(line));
}

void TestFileReports::refusals_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString missing = QDir::tempPath() + "/linetally-no-such-folder/out";
    QTest::newRow("xlsx to a terminal")
        << QStringList{"calls", "--all", "--format", "xlsx"} << 2 << "--format xlsx";
    QTest::newRow("report without a file") << QStringList{"report", "--all"} << 2 << "--output";
    QTest::newRow("report as csv")
        << QStringList{"report", "--format", "csv", "--output", "x.pdf"} << 2 << "format";
    QTest::newRow("xlsx unwritable")
        << QStringList{"calls", "--all", "--format", "xlsx", "--output", missing + ".xlsx"} << 5
        << "cannot be written";
    QTest::newRow("summary xlsx unwritable")
        << QStringList{"summary", "--by", "day", "--format", "xlsx", "--output", missing + ".xlsx"}
        << 5 << "cannot be written";
    QTest::newRow("report unwritable")
        << QStringList{"report", "--output", missing + ".pdf"} << 5 << "cannot be written";
}

void TestFileReports::refusals() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run result = run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message.toUtf8()), result.err.constData());
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/linetally-no-such-folder"));
}

void TestFileReports::fullDiskLeavesTheOldFile_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("tempOnFullDisk"); // else the file itself goes to the full disk
    const QStringList calls = {"calls", "--from",   "2026-12-01", "--to",    "2026-12-31",
                               "--all", "--format", "xlsx",       "--output"};
    QTest::newRow("spreadsheet") << calls << false;
    QTest::newRow("spreadsheet's own temporary files") << calls << true;
    QTest::newRow("report") << QStringList{"report", "--from",     "2026-12-01",
                                           "--to",   "2026-12-31", "--output"}
                            << false;
}

// A disk that fills up while the file is written gives status 5, and the file that was there
// stays as it was, with nothing half-written beside it.
void TestFileReports::fullDiskLeavesTheOldFile() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, tempOnFullDisk);
    QTemporaryDir disk;
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(disk.path()).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small tmpfs here (needs root): the full-disk case is not tested");
    const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(disk.path()).constData()); });
    const QString folder = tempOnFullDisk ? dir_.path() : disk.path();
    const QString path = folder + "/old-file";
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QFile filler(disk.filePath("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(1024, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    const Run result = run(arguments << path, tempOnFullDisk ? disk.path() : QString());
    QCOMPARE(result.status, 5);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    QStringList expected = {"filler"};
    if (!tempOnFullDisk)
        expected << "old-file";
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

QTEST_GUILESS_MAIN(TestFileReports)
#include "tst_filereports.moc"
