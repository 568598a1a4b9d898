// The report's charts painted on an image: bars and cells where there are calls, none where
// there are none, labels always, and nothing outside the rectangle given, whatever the counts.
#include "charts.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <limits>

namespace {

using Paint = std::function<void(QPainter&, const QRectF&, qint64)>;

// Every hour (and day of the week, and day) holds the same count.
void byHour(QPainter& painter, const QRectF& area, qint64 count) {
    charts::HourCounts calls;
    calls.fill(count);
    charts::PaintByHour(painter, area, calls);
}
void weekByHour(QPainter& painter, const QRectF& area, qint64 count) {
    charts::WeekHourCounts calls;
    for (auto& day : calls)
        day.fill(count);
    charts::PaintWeekByHour(painter, area, calls);
}
void byDay(QPainter& painter, const QRectF& area, qint64 count) {
    charts::DayCounts calls;
    for (QDate day(2026, 1, 1); day.year() == 2026; day = day.addDays(1))
        calls.emplace_back(day, count);
    charts::PaintByDay(painter, area, calls);
}

struct Pixels {
    int red = 0, dark = 0, outside = 0;
};

Pixels paint(const Paint& chart, qint64 count) {
    QImage image(900, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRect area(50, 50, 800, 300);
    {
        QPainter painter(&image);
        chart(painter, area, count);
    }
    Pixels pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == Qt::white)
                continue;
            if (!area.adjusted(0, 0, 1, 1).contains(x, y)) // a line on the edge is inside
                ++pixels.outside;
            else if (c.red() > 100 && c.green() < 80 && c.blue() < 80)
                ++pixels.red;
            else if (c.lightness() < 128)
                ++pixels.dark;
        }
    return pixels;
}

} // namespace

class TestCharts : public QObject {
    Q_OBJECT
private slots:
    void paintsWithinItsArea_data();
    void paintsWithinItsArea();
    void labelsInTheLocaleForms_data();
    void labelsInTheLocaleForms();
    void cleanup() { QLocale::setDefault(QLocale::c()); }
};

void TestCharts::paintsWithinItsArea_data() {
    QTest::addColumn<Paint>("chart");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<bool>("bars");
    const std::pair<const char*, Paint> kinds[] = {
        {"by hour", byHour}, {"week by hour", weekByHour}, {"by day", byDay}};
    for (const auto& [name, chart] : kinds) {
        QTest::addRow("%s, no calls", name) << chart << qint64(0) << false;
        QTest::addRow("%s, some calls", name) << chart << qint64(7) << true;
        QTest::addRow("%s, the most there can be", name)
            << chart << std::numeric_limits<qint64>::max() << true;
        QTest::addRow("%s, a negative count", name) << chart << qint64(-5) << false;
    }
}

void TestCharts::paintsWithinItsArea() {
    QFETCH(Paint, chart);
    QFETCH(qint64, count);
    QFETCH(bool, bars);
    const Pixels pixels = paint(chart, count);
    QCOMPARE(pixels.outside, 0);
    QVERIFY(pixels.dark > 0); // the title and labels
    QCOMPARE(pixels.red > 500, bars);
}

// The count axis and the days read as the locale writes them, as text a PDF reader finds.
void TestCharts::labelsInTheLocaleForms_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("German") << "de_DE" << QStringList{"1.000", "500", "30.11", "06.12"};
    QTest::newRow("American") << "en_US" << QStringList{"1,000", "500", "11/30", "12/6"};
    QTest::newRow("Swedish") << "sv_SE" << QStringList{"1 000", "500", "11-30", "12-06"};
}

void TestCharts::labelsInTheLocaleForms() {
    QFETCH(QString, locale);
    QFETCH(QStringList, labels);
    QLocale::setDefault(QLocale(locale));
    charts::DayCounts calls;
    for (QDate day(2026, 11, 30); day <= QDate(2026, 12, 6); day = day.addDays(1))
        calls.emplace_back(day, 1000);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.pdf"));
    {
        QPdfWriter pdf(path);
        QPainter painter(&pdf);
        charts::PaintByDay(painter, QRectF(0, 0, pdf.width(), pdf.height() / 2.0), calls);
    }
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    QVERIFY(reader.waitForFinished(60000));
    QCOMPARE(reader.exitCode(), 0);
    // pdftotext writes the narrow spaces some locales group with as plain ones.
    const QString text = QString::fromUtf8(reader.readAllStandardOutput())
                             .replace(QChar(0x202F), u' ')
                             .replace(QChar(0xA0), u' ');
    for (QString label : labels)
        QVERIFY2(text.contains(label.replace(QChar(0x202F), u' ').replace(QChar(0xA0), u' ')),
                 qPrintable(label + QStringLiteral(" is not in:\n") + text));
}

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
