// The demo's choice of a port for its database: never the phone system's own, never one that is
// taken, and one the database can then listen on.
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

class TestFreePort : public QObject {
    Q_OBJECT
private slots:
    void choosesAnUnheldPort_data();
    void choosesAnUnheldPort();
    void passesOverAConnectionsOwnEnd();
};

void TestFreePort::choosesAnUnheldPort_data() {
    QTest::addColumn<int>("first");     // what the script is asked to start from; 0: its default
    QTest::addColumn<int>("heldCount"); // how many ports from there on are held while it runs
    QTest::newRow("default start, all free") << 0 << 0;
    QTest::newRow("default start, the first three held") << 0 << 3;
    QTest::newRow("asked to start at the phone system's port") << 5480 << 2;
    QTest::newRow("high ports") << 40000 << 4;
}

// A port that a connection holds as its own end (a client's ephemeral port, high up where the
// system hands them out) cannot be listened on either.
void TestFreePort::passesOverAConnectionsOwnEnd() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(client.waitForConnected(30000));
    QProcess script;
    script.start(QStringLiteral(LINETALLY_SOURCE_DIR "/scripts/free-port"),
                 {QString::number(client.localPort())});
    QVERIFY(script.waitForFinished(60000));
    QCOMPARE(script.exitCode(), 0);
    QVERIFY(script.readAllStandardOutput().trimmed().toInt() != client.localPort());
}

void TestFreePort::choosesAnUnheldPort() {
    QFETCH(int, first);
    QFETCH(int, heldCount);
    // 5480 is held too where it can be: the script must pass it over either way.
    std::vector<std::unique_ptr<QTcpServer>> held;
    QList<int> heldPorts{5480};
    const int start = first == 0 ? 5481 : first;
    for (int port = start; port < start + heldCount + 1; ++port) {
        auto server = std::make_unique<QTcpServer>();
        if (server->listen(QHostAddress::LocalHost, quint16(port)) || port == 5480)
            heldPorts << port;
        held.push_back(std::move(server));
    }
    QProcess script;
    script.start(QStringLiteral(LINETALLY_SOURCE_DIR "/scripts/free-port"),
                 first == 0 ? QStringList() : QStringList{QString::number(first)});
    QVERIFY(script.waitForFinished(60000));
    QCOMPARE(script.exitCode(), 0);
    bool isNumber = false;
    const int chosen = script.readAllStandardOutput().trimmed().toInt(&isNumber);
    QVERIFY(isNumber);
    QVERIFY2(!heldPorts.contains(chosen), qPrintable(QString::number(chosen)));
    QVERIFY(chosen >= start);
    held.clear();
    QTcpServer database;
    QVERIFY2(database.listen(QHostAddress::LocalHost, quint16(chosen)),
             qPrintable(database.errorString()));
}

QTEST_GUILESS_MAIN(TestFreePort)
#include "tst_freeport.moc"
