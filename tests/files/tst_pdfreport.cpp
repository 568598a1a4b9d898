// The PDF call report, read back with poppler's pdftotext, pdfinfo and pdftoppm: every figure is
// text, the paper is the one asked for, and the charts of page one are drawn.
#include "pdfreport.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {

QByteArray runTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

files::ReportFigures weekFigures() {
    files::ReportFigures figures;
    figures.first = QDate(2026, 12, 1);
    figures.last = QDate(2026, 12, 7);
    figures.filter = QStringLiteral("every call");
    figures.made = QDateTime(QDate(2026, 12, 8), QTime(6, 30));
    figures.calls = 1234;
    figures.talkSeconds = 98765;
    figures.busiestHour = 9;
    figures.peakAtOnce = 17;
    figures.capacity = {321, 23};
    figures.callsByHour[9] = 400;
    figures.callsByHour[14] = 834;
    figures.callsByWeekdayHour[0][9] = 400;
    figures.callsByWeekdayHour[3][14] = 834;
    for (QDate day = figures.first; day <= figures.last; day = day.addDays(1))
        figures.callsByDay.emplace_back(day, day.day() * 10);
    figures.extensions = {{"101", 600, 34, 4000}, {"102", 0, 0, 0}};
    figures.topNumbers = {{"+441632960777", 5, 6, 3661}};
    return figures;
}

} // namespace

class TestPdfReport : public QObject {
    Q_OBJECT
private slots:
    void figuresAreText_data();
    void figuresAreText();
    void paperIsTheOneAsked_data();
    void paperIsTheOneAsked();
    void chartsAreDrawn();

private:
    QString write(const files::ReportFigures& figures, const QPageSize& paper);
    QTemporaryDir dir_;
};

QString TestPdfReport::write(const files::ReportFigures& figures, const QPageSize& paper) {
    const Result<QByteArray> pdf = files::PdfReport(figures, paper);
    if (!pdf)
        return {};
    const QString path = dir_.filePath(QStringLiteral("report.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf.value) != pdf.value.size())
        return {};
    return path;
}

void TestPdfReport::figuresAreText_data() {
    QTest::addColumn<files::ReportFigures>("figures");
    QTest::addColumn<QStringList>("expected"); // lines of `pdftotext -layout`, blanks squeezed

    QTest::newRow("a week") << weekFigures()
                            << QStringList{"Period: 2026-12-01 to 2026-12-07",
                                           "Calls: every call",
                                           "Calls 1234 Busiest hour 09:00-10:00",
                                           "Talk time 27:26:05 Peak at once 17",
                                           "Calls with no talk time 321 Lines needed 23",
                                           "Made 2026-12-08 06:30 by Linetally Page 1 of 2",
                                           "101 634 600 34 1:06:40",
                                           "102 0 0 0 0:00:00",
                                           "+441632960777 11 5 6 1:01:01",
                                           "Page 2 of 2"};

    files::ReportFigures none;
    none.first = none.last = QDate(2026, 12, 8);
    none.filter = QStringLiteral("calls of 101");
    none.made = QDateTime(QDate(2026, 12, 8), QTime(6, 30));
    none.callsByDay = {{none.first, 0}};
    QTest::newRow("no calls") << none
                              << QStringList{"Period: 2026-12-08", "Calls: calls of 101",
                                             "Calls 0 Busiest hour none",
                                             "Calls with no talk time not known Lines needed not "
                                             "known",
                                             "None"};

    files::ReportFigures odd = weekFigures();
    odd.talkSeconds = std::numeric_limits<double>::infinity();
    odd.filter = QStringLiteral("calls of 1\x01"
                                "2");
    odd.topNumbers = {{QByteArray("1\x1b[2J\xff"), 1, 0, -5},
                      {QByteArray(1 << 20, '9'), 0, 1, 1e300}};
    QTest::newRow("odd values") << odd << QStringList{"Calls: calls of 1",
                                                      "Talk time unknown Peak at once 17",
                                                      "[2J",
                                                      " 1 1 0 -0:00:05",
                                                      "1 0 1 unknown",
                                                      "Page 2 of 2"};

    files::ReportFigures many = weekFigures();
    for (int i = 0; i < 150; ++i)
        many.topNumbers.push_back({QByteArray::number(5550000 + i), 1, 0, 60});
    QTest::newRow("many numbers") << many << QStringList{"5550149 1 1 0 0:01:00", "Page 5 of 5"};
}

void TestPdfReport::figuresAreText() {
    QFETCH(files::ReportFigures, figures);
    QFETCH(QStringList, expected);
    const QString path = write(figures, QPageSize(QPageSize::A4));
    QVERIFY(!path.isEmpty());
    const QString text =
        QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {"-layout", path, "-"}));
    const QString simplified =
        text.split(u'\n')
            .replaceInStrings(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "))
            .join(u'\n');
    for (const QString& line : expected)
        QVERIFY2(simplified.contains(line),
                 qPrintable(line + QStringLiteral(" in ") + simplified.right(600)));
}

void TestPdfReport::paperIsTheOneAsked_data() {
    QTest::addColumn<QPageSize>("paper");
    QTest::addColumn<QString>("size");
    QTest::newRow("A4") << QPageSize(QPageSize::A4) << "595 x 842 pts (A4)";
    QTest::newRow("Letter") << QPageSize(QPageSize::Letter) << "612 x 792 pts (letter)";
}

void TestPdfReport::paperIsTheOneAsked() {
    QFETCH(QPageSize, paper);
    QFETCH(QString, size);
    const QString path = write(weekFigures(), paper);
    QVERIFY(!path.isEmpty());
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {path}));
    QVERIFY2(info.simplified().contains(QStringLiteral("Page size: ") + size), qPrintable(info));
}

// Below the totals, page one is the charts' area: the bars and the heat map's cells are dark
// there. With no calls it holds only axes, grid and labels.
void TestPdfReport::chartsAreDrawn() {
    const QString path = write(weekFigures(), QPageSize(QPageSize::A4));
    QVERIFY(!path.isEmpty());
    const QString prefix = dir_.filePath(QStringLiteral("page"));
    runTool(QStringLiteral("pdftoppm"),
            {"-r", "50", "-png", "-f", "1", "-l", "1", "-singlefile", path, prefix});
    const QImage page(prefix + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    int red = 0;
    for (int y = page.height() / 5; y < page.height() * 19 / 20; ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            red += c.red() > 100 && c.green() < 60 && c.blue() < 60;
        }
    QVERIFY2(red > 500, qPrintable(QString::number(red)));
}

QTEST_MAIN(TestPdfReport)
#include "tst_pdfreport.moc"
