#include "config.h"
#include "userhome.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace config;

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ClearConfig();
        QVERIFY(dir.isValid());
        SetConfigFilePath(dir.filePath(QStringLiteral("local.cfg")));
        QFile::remove(ConfigFilePath());
    }

    void perUserFolder_data();
    void perUserFolder();
    void relativeHomeIsNotUsed();
    void loadAndRewrite_data();
    void loadAndRewrite();
    void fullTables();
    void missingFileCreatesEmptyFile();
    void rewriteIsOwnerOnly();
    void readOnlyFolderKeepsOldFile();
    void emptyValueIsStored();
    void settingsAreValues();

private:
    QTemporaryDir dir;
};

void TestConfig::loadAndRewrite_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lookup");
    QTest::addColumn<QByteArray>("expectedValue");
    QTest::addColumn<QByteArray>("rewritten");

    QTest::newRow("name upper-cased") << QByteArray("dbuser=admin\r\n") << "DbUser"
                                      << QByteArray("admin") << QByteArray("DBUSER=admin\r\n");
    QTest::newRow("second line updates first slot")
        << QByteArray("dbuser=a\r\nother=1\r\nDBUSER=b\r\n") << "dbuser" << QByteArray("b")
        << QByteArray("DBUSER=b\r\nOTHER=1\r\n");
    QTest::newRow("value holds equals") << QByteArray("dbpass=a=b\r\n") << "dbpass"
                                        << QByteArray("a=b") << QByteArray("DBPASS=a=b\r\n");
    QTest::newRow("malformed lines dropped")
        << QByteArray("=x\r\nnovalue\r\n\r\ndbuser=u\r\n") << "dbuser" << QByteArray("u")
        << QByteArray("DBUSER=u\r\n");
    QTest::newRow("blanks around equals kept") << QByteArray("dbuser = admin\r\n") << "dbuser"
                                               << QByteArray() << QByteArray("DBUSER = admin\r\n");
    QTest::newRow("lone LF ends a line")
        << QByteArray("dbuser=u\ndbpass=p\n") << "dbpass" << QByteArray("p")
        << QByteArray("DBUSER=u\r\nDBPASS=p\r\n");
    QTest::newRow("lone CR ends a line")
        << QByteArray("dbuser=u\rdbpass=p") << "dbuser" << QByteArray("u")
        << QByteArray("DBUSER=u\r\nDBPASS=p\r\n");
    QTest::newRow("byte-order mark joins the name") << QByteArray("\xEF\xBB\xBF"
                                                                  "dbuser=admin\r\n")
                                                    << "dbuser" << QByteArray()
                                                    << QByteArray("\xEF\xBB\xBF"
                                                                  "DBUSER=admin\r\n");
    QTest::newRow("value bytes kept as they are")
        << QByteArray("dbpass=p\xE4\xFF\x01 x \r\n") << "dbpass" << QByteArray("p\xE4\xFF\x01 x ")
        << QByteArray("DBPASS=p\xE4\xFF\x01 x \r\n");
    QTest::newRow("empty file") << QByteArray() << "dbuser" << QByteArray() << QByteArray();
    QTest::newRow("unknown keys kept in order")
        << QByteArray("zeta=1\r\ndbuser=u\r\nalpha=2\r\n") << "alpha" << QByteArray("2")
        << QByteArray("ZETA=1\r\nDBUSER=u\r\nALPHA=2\r\n");
}

void TestConfig::loadAndRewrite() {
    QFETCH(QByteArray, file);
    QFETCH(QString, lookup);
    QFETCH(QByteArray, expectedValue);
    QFETCH(QByteArray, rewritten);

    QFile out(ConfigFilePath());
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();

    LoadConfig();
    QCOMPARE(GetConfigBytes(lookup.toLatin1()), expectedValue);
    QVERIFY(SaveConfig().ok());
    QFile in(ConfigFilePath());
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), rewritten);

    // A second start-up changes nothing further.
    ClearConfig();
    LoadConfig();
    QCOMPARE(SerializeConfig(), rewritten);
}

void TestConfig::fullTables() {
    for (int i = 1; i <= kSlotCount; ++i)
        SetConfig(QStringLiteral("key%1").arg(i), QStringLiteral("v%1").arg(i));
    SetConfig(QStringLiteral("another"), QStringLiteral("dropped"));
    QCOMPARE(GetConfig(QStringLiteral("another")), QString());
    // The program's own two settings always have room.
    SetConfig(QStringLiteral("dbuser"), QStringLiteral("kept"));
    SetConfig(QStringLiteral("dbpass"), QStringLiteral("also kept"));
    QCOMPARE(GetConfig(QStringLiteral("dbuser")), QStringLiteral("kept"));
    QCOMPARE(GetConfig(QStringLiteral("dbpass")), QStringLiteral("also kept"));
    SetConfig(QStringLiteral("KEY50"), QStringLiteral("updated"));
    QCOMPARE(GetConfig(QStringLiteral("key50")), QStringLiteral("updated"));
    QCOMPARE(SerializeConfig().count("\r\n"), kSlotCount + kOwnSlotCount);
}

void TestConfig::missingFileCreatesEmptyFile() {
    LoadConfig();
    QCOMPARE(GetConfig(QStringLiteral("dbuser")), QString());
    QVERIFY(SaveConfig().ok());
    QFileInfo info(ConfigFilePath());
    QVERIFY(info.exists());
    QCOMPARE(info.size(), 0);
}

void TestConfig::rewriteIsOwnerOnly() {
    SetConfig(QStringLiteral("dbpass"), QStringLiteral("secret"));
    QVERIFY(SaveConfig().ok());
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(ConfigFilePath()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
}

void TestConfig::readOnlyFolderKeepsOldFile() {
    if (::geteuid() == 0)
        qInfo("running as root: the folder and file are made immutable with chattr instead of "
              "chmod");
    SetConfig(QStringLiteral("dbuser"), QStringLiteral("old"));
    QVERIFY(SaveConfig().ok());
    const QByteArray before = SerializeConfig();

    QTemporaryDir locked;
    const QString path = locked.filePath(QStringLiteral("local.cfg"));
    QFile::copy(ConfigFilePath(), path);
    SetConfigFilePath(path);
    // Neither the folder nor the file can be written (a writable file alone is rewritten in
    // place). Root ignores permission bits, so lock both in a way root also respects.
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    bool immutable = false;
    if (::geteuid() == 0)
        immutable = QProcess::execute(QStringLiteral("chattr"),
                                      {QStringLiteral("+i"), path, locked.path()}) == 0;
    if (::geteuid() == 0 && !immutable) {
        QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
        QSKIP("running as root on a filesystem without chattr: a read-only folder cannot be made");
    }

    SetConfig(QStringLiteral("dbuser"), QStringLiteral("new"));
    const Status result = SaveConfig();
    if (immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path, locked.path()});
    QFile::setPermissions(locked.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!result.ok());
    QVERIFY2(result.reason().contains(path), qPrintable(result.reason()));
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), before);
}

void TestConfig::emptyValueIsStored() {
    SetConfig(QStringLiteral("dbuser"), QString());
    QCOMPARE(SerializeConfig(), QByteArray("DBUSER=\r\n"));
    QCOMPARE(GetConfig(QStringLiteral("dbuser")), QString());
}

void TestConfig::perUserFolder_data() {
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("folder");
    QTest::newRow("no XDG_CONFIG_HOME") << ""
                                        << "/home/op/.config/linetally";
    QTest::newRow("absolute") << "/srv/conf"
                              << "/srv/conf/linetally";
    QTest::newRow("relative is invalid") << "conf"
                                         << "/home/op/.config/linetally";
}

void TestConfig::perUserFolder() {
    QFETCH(QString, xdg);
    QFETCH(QString, folder);
    QCOMPARE(PerUserConfigFolder(xdg, "/home/op"), folder);
}

// A relative HOME would put the settings wherever the program was started.
void TestConfig::relativeHomeIsNotUsed() {
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", "relative/home");
    const QString home = UserHomeFolder();
    qputenv("HOME", saved);
    QVERIFY2(QDir::isAbsolutePath(home), qPrintable(home));
    QVERIFY(QDir::isAbsolutePath(PerUserConfigFolder(QStringLiteral("relative/conf"), home)));
}

// A set of settings of its own changes neither the program's nor another's, and knows which
// names it was given since it was loaded.
void TestConfig::settingsAreValues() {
    SetConfig(QStringLiteral("dbuser"), QStringLiteral("program"));
    Settings own;
    QCOMPARE(own.loadFromBytes("DBUSER=file\r\nREGION=GB\r\n"), 0);
    Settings copy = own;
    own.setBytes("region", "DE");
    own.setBytes("lookupurl", "https://x/%s");
    own.setBytes("Region", "FR");
    QCOMPARE(own.getBytes("REGION"), QByteArray("FR"));
    QCOMPARE(own.changedNames(), (QList<QByteArray>{"REGION", "LOOKUPURL"}));
    QCOMPARE(copy.getBytes("region"), QByteArray("GB"));
    QVERIFY(copy.changedNames().isEmpty());
    QCOMPARE(own.serialize(), QByteArray("DBUSER=file\r\nREGION=FR\r\nLOOKUPURL=https://x/%s\r\n"));
    QCOMPARE(GetConfig(QStringLiteral("DBUSER")), QStringLiteral("program"));
    QCOMPARE(GetConfig(QStringLiteral("REGION")), QString());
    own.clear();
    QCOMPARE(own, Settings());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
