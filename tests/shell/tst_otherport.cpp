// A phone system reached on another port of this machine (a second tunnel): the settings' DBPORT
// and the commands' --port lead there, and nothing else does.
#include "config.h"
#include "dialogs.h"
#include "login.h"
#include "serveraddress.h"
#include "testdatabase.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

// A port of 127.0.0.1 that nothing listens on now, other than the usual one.
int unusedPort() {
    for (;;) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return -1;
        if (probe.serverPort() != dbRoutines::kDefaultDbPort)
            return probe.serverPort();
    }
}

} // namespace

class TestOtherPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void commandsReachThePortAsked_data();
    void commandsReachThePortAsked();
    void credentialsDialogKeepsDbPort();
    void credentialsCommandStoresPort();

private:
    void writeSettings(const QByteArray& extraLines);
    Run run(const QStringList& arguments, const QByteArray& input = {});
    QTemporaryDir dir_;
    QString settings_;
    int serverPort_ = -1;
    int silentPort_ = -1;
};

void TestOtherPort::initTestCase() {
    REQUIRE_TEST_DATABASE();
    settings_ = dir_.filePath("local.cfg");
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES ('101', 1)"));
    QVERIFY(TestDatabase::insertCall("101", "5551234567", "00:03:00", "2026-12-08 09:00:00"));
    // The server moves to another port; nothing is left on the usual one.
    serverPort_ = unusedPort();
    silentPort_ = unusedPort();
    QVERIFY(serverPort_ > 0 && silentPort_ > 0 && serverPort_ != silentPort_);
    QVERIFY(TestDatabase::stopServer());
    QVERIFY(TestDatabase::startServerOnPort(serverPort_));
    QTcpServer usual;
    QVERIFY2(usual.listen(QHostAddress::LocalHost, quint16(dbRoutines::kDefaultDbPort)),
             "something else listens on the usual port");
}

void TestOtherPort::cleanupTestCase() {
    if (serverPort_ > 0) {
        QVERIFY(TestDatabase::stopServer());
        QVERIFY(TestDatabase::startServer());
    }
}

void TestOtherPort::writeSettings(const QByteArray& extraLines) {
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("DBUSER=" + TestDatabase::user().toUtf8() +
               "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n" + extraLines);
}

Run TestOtherPort::run(const QStringList& arguments, const QByteArray& input) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.start(LINETALLY_BINARY,
                  QStringList{arguments.first(), "--config", settings_} + arguments.mid(1));
    program.write(input);
    program.closeWriteChannel();
    Run result;
    if (!program.waitForFinished(120000))
        return result;
    result.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = program.readAllStandardOutput();
    result.err = program.readAllStandardError();
    return result;
}

void TestOtherPort::commandsReachThePortAsked_data() {
    QTest::addColumn<QString>("dbPort");  // the setting; "server"/"silent" stand for those ports
    QTest::addColumn<QString>("askPort"); // the option, likewise; empty: none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("DBPORT") << "server"
                            << "" << 0 << "";
    QTest::newRow("--port") << ""
                            << "server" << 0 << "";
    QTest::newRow("--port over DBPORT") << "silent"
                                        << "server" << 0 << "";
    QTest::newRow("usual port, nothing there") << ""
                                               << "" << 3 << "5480";
    QTest::newRow("DBPORT, nothing there") << "silent"
                                           << "" << 3 << "silent";
    QTest::newRow("--port, nothing there") << "server"
                                           << "silent" << 3 << "silent";
    QTest::newRow("DBPORT not a number") << "54x0"
                                         << "" << 3 << "DBPORT";
    QTest::newRow("--port out of range") << ""
                                         << "70000" << 2 << "--port 70000";
}

void TestOtherPort::commandsReachThePortAsked() {
    QFETCH(QString, dbPort);
    QFETCH(QString, askPort);
    QFETCH(int, status);
    QFETCH(QString, says);
    const auto port = [this](QString text) {
        return text.replace("server", QString::number(serverPort_))
            .replace("silent", QString::number(silentPort_));
    };
    writeSettings(dbPort.isEmpty() ? QByteArray() : "DBPORT=" + port(dbPort).toUtf8() + "\r\n");
    const QStringList portOption =
        askPort.isEmpty() ? QStringList() : QStringList{"--port", port(askPort)};
    const QList<QStringList> commands = {
        QStringList{"calls", "--day", "2026-12-08", "--format", "csv", "101"},
        QStringList{"summary", "--day", "2026-12-08", "--by", "extension", "--format", "csv"},
        QStringList{"chart", "--day", "2026-12-08", "101"}};
    for (const QStringList& command : commands) {
        const Run result = run(command + portOption);
        QVERIFY2(result.status == status, qPrintable(command.first() + ": " + result.err));
        QVERIFY2(result.err.contains(port(says).toUtf8()), result.err.constData());
        // The one call: 101 placed it at 09:00 for three minutes.
        if (status == 0)
            QVERIFY2(result.out.contains(command.first() == "chart" ? "09:00 ###." : "101"),
                     result.out.constData());
    }
}

// The dialog stores the user name and password and leaves the port where it was.
void TestOtherPort::credentialsDialogKeepsDbPort() {
    config::ClearConfig();
    config::SetConfigFilePath(settings_);
    QFile::remove(settings_);
    const QByteArray portLine = "DBPORT=" + QByteArray::number(serverPort_) + "\r\n";
    {
        QFile file(settings_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(portLine);
    }
    config::LoadConfig();
    MessageBoxAnswerer answerer;
    login dialog(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.Text1[0], TestDatabase::user());
    QTest::keyClicks(dialog.Text1[1], TestDatabase::password());
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(answerer.texts(), QStringList{"Database Connection Successful"});
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY2(saved.contains(portLine), saved.constData());
    QVERIFY(saved.contains("DBUSER=" + TestDatabase::user().toUtf8() + "\r\n"));
}

// Credentials tried on a tunnel's port keep that port with them; a later save keeps it too.
void TestOtherPort::credentialsCommandStoresPort() {
    QFile::remove(settings_);
    const QByteArray answers =
        TestDatabase::user().toUtf8() + "\n" + TestDatabase::password().toUtf8() + "\n";
    Run result = run({"credentials", "--port", QString::number(serverPort_)}, answers);
    QCOMPARE(result.status, 0);
    result = run({"calls", "--day", "2026-12-08", "101"});
    QVERIFY2(result.status == 0, result.err.constData());
    result = run({"credentials"}, answers);
    QCOMPARE(result.status, 0);
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("DBPORT=" + QByteArray::number(serverPort_) + "\r\n"));
}

QTEST_MAIN(TestOtherPort)
#include "tst_otherport.moc"
