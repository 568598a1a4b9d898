// The spreadsheet writer, read back with openpyxl: cell types, values as written, nothing a
// spreadsheet would run, the header frozen and filtered, long reports going on in more sheets.
#include "xlsxworkbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// The sheets openpyxl reads from the file, as tests/support/readxlsx.py gives them.
QJsonArray readBack(const QString& path) {
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_XLSX), path});
    if (!reader.waitForFinished(120000) || reader.exitCode() != 0) {
        qWarning().noquote() << reader.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
}

const std::vector<files::XlsxColumn> kColumns = {
    {QStringLiteral("Number"), 16},
    {QStringLiteral("Start"), 19},
    {QStringLiteral("Duration"), 9},
    {QStringLiteral("Calls"), 7},
};

} // namespace

class TestXlsxWorkbook : public QObject {
    Q_OBJECT
private slots:
    void textStaysText_data();
    void textStaysText();
    void longReportsGoOnInTheNextSheet();
    void qtFormatsBecomeSpreadsheetFormats_data();
    void qtFormatsBecomeSpreadsheetFormats();

private:
    QJsonArray writeRows(const std::vector<std::vector<files::XlsxCell>>& rows, int sheetRows,
                         QStringList* notes = nullptr);
    QTemporaryDir dir_;
};

QJsonArray TestXlsxWorkbook::writeRows(const std::vector<std::vector<files::XlsxCell>>& rows,
                                       int sheetRows, QStringList* notes) {
    const QString path = dir_.filePath(QStringLiteral("book.xlsx"));
    auto created =
        files::XlsxWorkbook::Create(path, QStringLiteral("M/d/yyyy h:mm:ss AP"), sheetRows);
    if (!created)
        return {};
    files::XlsxWorkbook& book = *created.value;
    if (!book.addSheet(QStringLiteral("Calls"), kColumns))
        return {};
    for (const auto& row : rows)
        if (!book.row(row))
            return {};
    if (!book.close())
        return {};
    if (notes)
        *notes = book.notes();
    return readBack(path);
}

void TestXlsxWorkbook::textStaysText_data() {
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("leading zero") << QByteArray("01632960777") << "01632960777";
    QTest::newRow("leading plus") << QByteArray("+441632960777") << "+441632960777";
    QTest::newRow("formula") << QByteArray("=1+1") << "=1+1";
    QTest::newRow("function") << QByteArray("=HYPERLINK(\"http://x\")")
                              << "=HYPERLINK(\"http://x\")";
    QTest::newRow("at sign") << QByteArray("@SUM(A1)") << "@SUM(A1)";
    // Characters XML cannot hold take the spreadsheet's own escape, which spreadsheets undo.
    QTest::newRow("control characters") << QByteArray("a\x01"
                                                      "b\tc\x1f")
                                        << "a_x0001_b\tc_x001F_";
    QTest::newRow("not UTF-8") << QByteArray("1\xff\xfe"
                                             "2")
                               << QString::fromUtf8("1\xff\xfe"
                                                    "2");
    QTest::newRow("a megabyte") << QByteArray(1 << 20, '7') << QString(32767, u'7');
    QTest::newRow("empty") << QByteArray("") << QString();
}

// Each value is a string cell read back as written (cut to what a cell holds), and no cell is a
// formula.
void TestXlsxWorkbook::textStaysText() {
    QFETCH(QByteArray, written);
    QFETCH(QString, read);
    const QJsonArray sheets = writeRows({{files::XlsxCell::of(QByteArrayView(written))}}, 10);
    QCOMPARE(sheets.size(), 1);
    const QJsonArray rows = sheets[0].toObject()["rows"].toArray();
    if (read.isEmpty()) { // an empty text is an empty cell
        QVERIFY(rows.size() == 1 || rows[1].toArray()[0].toArray()[1].isNull());
        return;
    }
    QCOMPARE(rows.size(), 2);
    const QJsonArray cell = rows[1].toArray()[0].toArray();
    QCOMPARE(cell[0].toString(), "s");
    QCOMPARE(cell[1].toString(), read);
}

// A sheet holds a given number of rows; the rows after them go on in "Calls (2)" and so on, each
// with its header, and the notes say so. Odd dates and durations a spreadsheet cannot hold are
// written as their text.
void TestXlsxWorkbook::longReportsGoOnInTheNextSheet() {
    const double infinity = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<files::XlsxCell>> rows = {
        {files::XlsxCell::of(QByteArrayView("1")),
         files::XlsxCell::dateTime(1899, 1, 1, 0, 0, 0, "1899-01-01T00:00:00"),
         files::XlsxCell::duration(86400, "24:00:00")},
        {files::XlsxCell::of(QByteArrayView("2")), files::XlsxCell::empty(),
         files::XlsxCell::duration(-300, "-0:05:00")},
        {files::XlsxCell::of(QByteArrayView("3")), files::XlsxCell::empty(),
         files::XlsxCell::duration(infinity, "infinity")},
        {files::XlsxCell::of(QByteArrayView("4")), files::XlsxCell::empty(),
         files::XlsxCell::duration(std::nullopt, "abc")},
        {files::XlsxCell::of(QByteArrayView("5"))},
    };
    QStringList notes;
    const QJsonArray sheets = writeRows(rows, 2, &notes);
    QCOMPARE(sheets.size(), 3);
    QStringList names, numbers;
    for (const QJsonValue& sheet : sheets) {
        names << sheet["name"].toString();
        const QJsonArray sheetRows = sheet["rows"].toArray();
        QCOMPARE(sheetRows[0].toArray()[0].toArray()[1].toString(), "Number");
        QCOMPARE(sheet["freeze"].toString(), "A2");
        for (qsizetype r = 1; r < sheetRows.size(); ++r)
            numbers << sheetRows[r].toArray()[0].toArray()[1].toString();
    }
    QCOMPARE(names, QStringList({"Calls", "Calls (2)", "Calls (3)"}));
    QCOMPARE(numbers, QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes[0].contains("\"Calls (2)\""), qPrintable(notes[0]));

    const QJsonArray first = sheets[0]["rows"].toArray();
    QCOMPARE(first[1].toArray()[1].toArray()[1].toString(), "1899-01-01T00:00:00");
    QCOMPARE(first[1].toArray()[2].toArray()[1].toDouble(), 86400.0);
    QCOMPARE(first[2].toArray()[2].toArray()[1].toDouble(), -300.0);
    const QJsonArray second = sheets[1]["rows"].toArray();
    QCOMPARE(second[1].toArray()[2].toArray()[1].toString(), "infinity");
    QCOMPARE(second[2].toArray()[2].toArray()[1].toString(), "abc");
}

void TestXlsxWorkbook::qtFormatsBecomeSpreadsheetFormats_data() {
    QTest::addColumn<QString>("qt");
    QTest::addColumn<QString>("spreadsheet");
    QTest::newRow("United States") << "M/d/yyyy h:mm:ss AP"
                                   << "m/d/yyyy h:mm:ss AM/PM";
    QTest::newRow("Germany") << "dd.MM.yyyy HH:mm:ss"
                             << "dd.mm.yyyy hh:mm:ss";
    QTest::newRow("ISO") << "yyyy-MM-dd HH:mm:ss"
                         << "yyyy-mm-dd hh:mm:ss";
    QTest::newRow("literal") << "d/M/yyyy H'h'mm:ss"
                             << "d/m/yyyy h\"h\"mm:ss";
    QTest::newRow("other letters") << "yyyy\u5e74M\u6708d\u65e5 HH:mm:ss"
                                   << "yyyy\\\u5e74m\\\u6708d\\\u65e5 hh:mm:ss";
}

void TestXlsxWorkbook::qtFormatsBecomeSpreadsheetFormats() {
    QFETCH(QString, qt);
    QFETCH(QString, spreadsheet);
    QCOMPARE(files::SpreadsheetDateTimeFormat(qt), spreadsheet);
}

QTEST_GUILESS_MAIN(TestXlsxWorkbook)
#include "tst_xlsxworkbook.moc"
