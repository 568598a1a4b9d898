#include "peercheck.h"

#include <QTcpServer>
#include <QtTest>

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

namespace {

std::optional<uint> uidOf(const char* account) {
    const passwd* entry = ::getpwnam(account);
    return entry ? std::optional<uint>(entry->pw_uid) : std::nullopt;
}

} // namespace

class TestPeerCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ownerDecision_data();
    void ownerDecision();
    void connectsOnlyOnceChecked_data();
    void connectsOnlyOnceChecked();
};

void TestPeerCheck::initTestCase() {
    if (!platform::ChecksConnectionPeers())
        QSKIP("this system does not tell who holds a connection's far end");
}

void TestPeerCheck::ownerDecision_data() {
    QTest::addColumn<QString>("ownerAccount"); // empty: nobody could be found
    QTest::addColumn<QString>("serviceAccount");
    QTest::addColumn<QString>("refusalNames"); // empty: given the password
    QTest::newRow("root") << "root"
                          << "postgres"
                          << "";
    QTest::newRow("the database service") << "postgres"
                                          << "postgres"
                                          << "";
    QTest::newRow("a service named in the settings") << "daemon"
                                                     << "daemon"
                                                     << "";
    QTest::newRow("daemon, a system account") << "daemon"
                                              << "postgres"
                                              << "user daemon (uid 1)";
    QTest::newRow("www-data, a system account") << "www-data"
                                                << "postgres"
                                                << "user www-data";
    QTest::newRow("nobody") << "nobody"
                            << "postgres"
                            << "user nobody (uid 65534)";
    QTest::newRow("postgres once another service is named") << "postgres"
                                                            << "daemon"
                                                            << "user postgres";
    QTest::newRow("postgres when the named service does not exist") << "postgres"
                                                                    << "no-such-account"
                                                                    << "user postgres";
    QTest::newRow("no service account at all") << "postgres"
                                               << ""
                                               << "user postgres";
    QTest::newRow("nobody found") << ""
                                  << "postgres"
                                  << "could not be identified";
}

void TestPeerCheck::ownerDecision() {
    QFETCH(QString, ownerAccount);
    QFETCH(QString, serviceAccount);
    QFETCH(QString, refusalNames);
    std::optional<uint> owner;
    if (!ownerAccount.isEmpty()) {
        owner = uidOf(ownerAccount.toLocal8Bit().constData());
        if (!owner)
            QSKIP(qPrintable("this system has no account " + ownerAccount));
    }
    if (owner && *owner == ::geteuid() && !refusalNames.isEmpty())
        QSKIP("the test runs as the account that would be refused");
    const Status judged =
        platform::JudgePeerOwner(owner, platform::TrustedOwnersWith(serviceAccount), 5480);
    if (refusalNames.isEmpty()) {
        QVERIFY2(judged.ok(), qPrintable(judged.reason()));
    } else {
        QVERIFY(!judged.ok());
        QVERIFY2(judged.reason().contains(refusalNames), qPrintable(judged.reason()));
        QVERIFY2(judged.reason().contains("port 5480"), qPrintable(judged.reason()));
    }
    // The user running the program is trusted whatever the settings say: an SSH tunnel.
    QVERIFY(platform::JudgePeerOwner(uint(::geteuid()), platform::TrustedOwnersWith(serviceAccount),
                                     5480)
                .ok());
}

// A checked connection to the program's own listener: connect() comes back only once the far
// end is known, also for a socket that does not block.
void TestPeerCheck::connectsOnlyOnceChecked_data() {
    QTest::addColumn<bool>("listening");
    QTest::addColumn<bool>("blocking");
    QTest::newRow("listener, blocking socket") << true << true;
    QTest::newRow("listener, socket that does not block") << true << false;
    QTest::newRow("closed port, blocking socket") << false << true;
    QTest::newRow("closed port, socket that does not block") << false << false;
}

void TestPeerCheck::connectsOnlyOnceChecked() {
    QFETCH(bool, listening);
    QFETCH(bool, blocking);
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    const quint16 port = listener.serverPort();
    if (!listening)
        listener.close();

    const int fd =
        ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    QVERIFY(fd >= 0);
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const platform::PeerCheck check(port, QStringLiteral("postgres"), std::chrono::seconds(15));
    const int connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = errno;
    QVERIFY2(check.refusal().ok(), qPrintable(check.refusal().reason()));
    if (listening) {
        QCOMPARE(connected, 0);
    } else {
        QCOMPARE(connected, -1);
        QCOMPARE(error, ECONNREFUSED);
    }
}

QTEST_GUILESS_MAIN(TestPeerCheck)
#include "tst_peercheck.moc"
