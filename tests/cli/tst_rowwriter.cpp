#include "output.h"
#include "rowwriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(Format)

class TestRowWriter : public QObject {
    Q_OBJECT
private slots:
    void rowOfAnotherWidthStopsTheReport_data();
    void rowOfAnotherWidthStopsTheReport();
};

void TestRowWriter::rowOfAnotherWidthStopsTheReport_data() {
    QTest::addColumn<Format>("format");
    QTest::addColumn<int>("width"); // of the faulty row
    QTest::addColumn<QByteArray>("written");
    const QByteArray csv = "number,calls\r\n101,3\r\n";
    const QByteArray json = "{\"number\":\"101\",\"calls\":3}\n";
    QTest::newRow("CSV, one value short") << Format::Csv << 1 << csv;
    QTest::newRow("CSV, one value more") << Format::Csv << 3 << csv;
    QTest::newRow("JSON lines, one value short") << Format::JsonLines << 1 << json;
    QTest::newRow("JSON lines, one value more") << Format::JsonLines << 3 << json;
}

// The rows before the faulty one are written; the faulty one and those after it are not, and
// the end says why.
void TestRowWriter::rowOfAnotherWidthStopsTheReport() {
    QFETCH(Format, format);
    QFETCH(int, width);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("report");
    Result<std::unique_ptr<Output>> opened = Output::Open(path);
    QVERIFY2(opened.ok(), qPrintable(opened.reason()));
    Output& output = *opened.value;
    {
        RowWriter writer(format, output, {{"number", "Number", 10}, {"calls", "Calls", 6, true}});
        QVERIFY(writer.header());
        QVERIFY(writer.row({Cell::of(QByteArrayView("101")), Cell::of(3)}));
        const bool faulty =
            width == 1 ? writer.row({Cell::of(QByteArrayView("102"))})
                       : writer.row({Cell::of(QByteArrayView("102")), Cell::of(4), Cell::of(5)});
        QVERIFY(!faulty);
        QVERIFY(!writer.row({Cell::of(QByteArrayView("103")), Cell::of(1), Cell::of(1)}));
        const Status ended = writer.end();
        QVERIFY(!ended.ok());
        QVERIFY2(ended.reason().contains(QStringLiteral("of %1 values").arg(width)),
                 qPrintable(ended.reason()));
        QVERIFY(ended.reason().contains("for 2 columns"));
    }
    QVERIFY(output.finish().ok());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
}

QTEST_GUILESS_MAIN(TestRowWriter)
#include "tst_rowwriter.moc"
