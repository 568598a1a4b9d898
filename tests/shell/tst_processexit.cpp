#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestProcessExit : public QObject {
    Q_OBJECT
private slots:
    void endsAtOnceWithoutSaving_data();
    void endsAtOnceWithoutSaving();
};

void TestProcessExit::endsAtOnceWithoutSaving_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("File > Exit") << "exit";
    QTest::newRow("close box") << "close";
    QTest::newRow("credentials dialog Cancel") << "cancel";
}

void TestProcessExit::endsAtOnceWithoutSaving() {
    QFETCH(QString, mode);
    QTemporaryDir dir;
    const QString path = dir.filePath("local.cfg");
    const QByteArray before = "dbuser=original\nDBPASS=x\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();

    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedChannels);
    probe.start(EXITPROBE, {mode, path});
    QVERIFY(probe.waitForFinished(60000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_GUILESS_MAIN(TestProcessExit)
#include "tst_processexit.moc"
