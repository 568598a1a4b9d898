// Saving local.cfg when it is not what it should be: a link, a pipe, a device, a full disk, an
// unreadable or huge file, another user's file, a folder that cannot be written, a value the file
// cannot hold, and two copies saving in turn. Each case runs the settings code in a process of its
// own (as another user where the case needs one) and compares the file's bytes before and after.
#include "otheruser.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

enum class Setup {
    PlainFile,
    FullDisk,
    LinkToFile,
    DanglingLink,
    LinkLoop,
    Fifo,
    Folder,
    Device,
    Unreadable,
    OtherOwner,
    UnwritableFolder,
    UnwritableFolderFullDisk,
    UnwritableFolderOpenFile,   // the user's own file, mode 0666
    UnwritableFolderOthersFile, // root's file, mode 0666
    TwoCopies,
    GroupWritableFolder,
    OpenFolderAbove, // a folder above the settings folder that anyone may write, not sticky
    OthersFolder,
    LinkToOthersFolder, // the settings folder is a link (~/.config) to another user's folder
    OpenOwnFile,        // the user's own file, mode 0666
    ReadOnlyOwnFile,    // mode 0444 in a folder the user may write
};
Q_DECLARE_METATYPE(Setup)

namespace {

const QByteArray kOld = "DBUSER=old\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

mode_t typeOf(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void copiesSavingAtOnce();
    void staleTemporaryIsRemoved_data();
    void staleTemporaryIsRemoved();
    void lockHeldByAnotherUser();
    void initTestCase();
    void cleanup();
    void saving_data();
    void saving();

private:
    bool prepare(Setup setup, const QByteArray& before);
    bool mountSmallDisk();
    bool fillDisk();
    // Runs the settings code on the file; its output lines, or a failure when it hangs.
    QProcess* startProbe(const QStringList& arguments, bool asOtherUser);

    std::unique_ptr<QTemporaryDir> root;
    QString folder; // where local.cfg is
    QString path;
    uid_t otherUid = 65534;
    gid_t otherGid = 65534;
    bool mounted = false;
    QTemporaryDir stagedPrograms{QDir::tempPath() + QStringLiteral("/linetally-probe-XXXXXX")};
};

void TestSettingsFile::initTestCase() {
    if (const passwd* nobody = ::getpwnam("nobody")) {
        otherUid = nobody->pw_uid;
        otherGid = nobody->pw_gid;
    }
}

void TestSettingsFile::cleanup() {
    if (mounted)
        ::umount(native(folder).constData());
    mounted = false;
    root.reset();
}

bool TestSettingsFile::mountSmallDisk() {
    if (::mount("tmpfs", native(folder).constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        return false;
    mounted = true;
    return true;
}

bool TestSettingsFile::fillDisk() {
    QFile filler(folder + "/filler");
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) > 0) {
    }
    return true;
}

bool TestSettingsFile::prepare(Setup setup, const QByteArray& before) {
    root = std::make_unique<QTemporaryDir>();
    // The other user must reach the folders.
    ::chmod(native(root->path()).constData(), 0755);
    folder = root->filePath("settings");
    path = folder + "/local.cfg";
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray file = native(path);
    switch (setup) {
    case Setup::FullDisk:
    case Setup::UnwritableFolderFullDisk:
        if (!mountSmallDisk() || !writeFile(path, before))
            return false;
        if (setup == Setup::UnwritableFolderFullDisk &&
            ::chown(file.constData(), otherUid, otherGid) != 0)
            return false;
        return fillDisk();
    case Setup::LinkToFile:
        return writeFile(root->filePath("target.cfg"), before) &&
               ::symlink("../target.cfg", file.constData()) == 0;
    case Setup::DanglingLink:
        return ::symlink("../missing.cfg", file.constData()) == 0;
    case Setup::LinkLoop:
        return ::symlink("loop.cfg", file.constData()) == 0 &&
               ::symlink("local.cfg", native(folder + "/loop.cfg").constData()) == 0;
    case Setup::Fifo:
        return ::mkfifo(file.constData(), 0600) == 0;
    case Setup::Folder:
        return QDir().mkdir(path);
    case Setup::Device:
        return ::mknod(file.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    case Setup::Unreadable:
        // Written but not readable by its owner, who runs the program.
        return writeFile(path, before) && ::chown(file.constData(), otherUid, otherGid) == 0 &&
               ::chmod(file.constData(), 0200) == 0 &&
               ::chown(native(folder).constData(), otherUid, otherGid) == 0;
    case Setup::OtherOwner:
    case Setup::UnwritableFolder:
        // The folder stays root's: the other user can write the file but not the folder.
        return writeFile(path, before) && ::chown(file.constData(), otherUid, otherGid) == 0 &&
               ::chmod(file.constData(), 0600) == 0;
    case Setup::UnwritableFolderOpenFile:
        return writeFile(path, before) && ::chown(file.constData(), otherUid, otherGid) == 0 &&
               ::chmod(file.constData(), 0666) == 0;
    case Setup::UnwritableFolderOthersFile:
        // Root's file, which anyone may read and write, in root's folder.
        return writeFile(path, before) && ::chmod(file.constData(), 0666) == 0;
    case Setup::GroupWritableFolder:
        return writeFile(path, before) && ::chmod(native(folder).constData(), 0775) == 0;
    case Setup::OpenFolderAbove:
        return writeFile(path, before) && ::chmod(native(root->path()).constData(), 0777) == 0;
    case Setup::OthersFolder:
        return writeFile(path, before) &&
               ::chown(native(folder).constData(), otherUid, otherGid) == 0;
    case Setup::LinkToOthersFolder: {
        const QString real = root->filePath("elsewhere");
        return QDir().rmdir(folder) && QDir().mkdir(real) &&
               ::chown(native(real).constData(), otherUid, otherGid) == 0 &&
               ::symlink(native(real).constData(), native(folder).constData()) == 0 &&
               writeFile(path, before);
    }
    case Setup::OpenOwnFile:
        return writeFile(path, before) && ::chmod(file.constData(), 0666) == 0;
    case Setup::ReadOnlyOwnFile:
        return writeFile(path, before) && ::chmod(file.constData(), 0444) == 0;
    case Setup::PlainFile:
    case Setup::TwoCopies:
        return writeFile(path, before);
    }
    return false;
}

QProcess* TestSettingsFile::startProbe(const QStringList& arguments, bool asOtherUser) {
    auto* probe = new QProcess(this);
    if (asOtherUser) {
        const uid_t uid = otherUid;
        const gid_t gid = otherGid;
        probe->setChildProcessModifier([uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(99);
        });
    }
    // Another user runs a copy it can reach, wherever the build tree is.
    const QString program = asOtherUser
                                ? StagedForOtherUsers(QStringLiteral(SETTINGSPROBE), stagedPrograms)
                                : QStringLiteral(SETTINGSPROBE);
    if (program.isEmpty())
        qWarning("the settings probe could not be copied where another user can run it");
    probe->start(program, QStringList{path} + arguments);
    return probe;
}

void TestSettingsFile::saving_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<bool>("asOtherUser");
    QTest::addColumn<QString>("loadedUser");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QByteArray>("after"); // of the file, or of a link's target

    const QString bigPassword(32 * 1024, u'p');
    QTest::newRow("full disk, file larger than the free space")
        << Setup::FullDisk << kOld << QStringList{"dbpass=" + bigPassword} << false << "old"
        << false << kOld;
    QTest::newRow("full disk, small file")
        << Setup::FullDisk << kOld << QStringList{"dbpass=x"} << false << "old" << false << kOld;
    QTest::newRow("link to a file")
        << Setup::LinkToFile << QByteArray("DBUSER=target\r\nOTHER=1\r\n")
        << QStringList{"dbuser=new"} << false << "" << false
        << QByteArray("DBUSER=target\r\nOTHER=1\r\n");
    QTest::newRow("dangling link")
        << Setup::DanglingLink << QByteArray() << QStringList{"dbuser=new"} << false << "" << false
        << QByteArray("<unreadable>");
    QTest::newRow("link loop") << Setup::LinkLoop << QByteArray() << QStringList{"dbuser=new"}
                               << false << "" << false << QByteArray("<unreadable>");
    QTest::newRow("FIFO") << Setup::Fifo << QByteArray() << QStringList{"dbuser=new"} << false << ""
                          << false << QByteArray();
    QTest::newRow("folder") << Setup::Folder << QByteArray() << QStringList{"dbuser=new"} << false
                            << "" << false << QByteArray();
    QTest::newRow("device") << Setup::Device << QByteArray() << QStringList{"dbuser=new"} << false
                            << "" << false << QByteArray();
    QTest::newRow("unreadable file")
        << Setup::Unreadable << QByteArray("DBUSER=secret\r\n") << QStringList{"dbuser=new"} << true
        << "" << false << QByteArray("DBUSER=secret\r\n");
    QTest::newRow("line break in the password")
        << Setup::PlainFile << QByteArray("DBUSER=u\r\n")
        << QStringList{"dbpass=pw\nDBUSER=postgres"} << false << "u" << false
        << QByteArray("DBUSER=u\r\n");
    QByteArray hundred;
    for (int i = 1; i <= 100; ++i)
        hundred += "NAME" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\r\n";
    QTest::newRow("100 other names")
        << Setup::PlainFile << hundred << QStringList{"dbuser=u", "dbpass=p"} << false << "" << true
        << hundred + "DBUSER=u\r\nDBPASS=p\r\n";
    const QByteArray tooMany = hundred + "NAME101=101\r\n";
    QTest::newRow("101 other names: nothing dropped")
        << Setup::PlainFile << tooMany << QStringList{"dbuser=u"} << false << "" << false
        << tooMany;
    QByteArray huge = "DBUSER=u\r\n";
    while (huge.size() < 10 * 1024 * 1024)
        huge += "FILLER" + QByteArray::number(huge.size()) + "=" + QByteArray(100, 'f') + "\r\n";
    QTest::newRow("10 MiB file") << Setup::PlainFile << huge << QStringList{"dbpass=p"} << false
                                 << "u" << false << huge;
    // Settings someone else could have written are neither read nor replaced.
    QTest::newRow("another user's file")
        << Setup::OtherOwner << kOld << QStringList{"dbuser=new"} << false << "" << false << kOld;
    QTest::newRow("group-writable folder")
        << Setup::GroupWritableFolder << kOld << QStringList{"dbuser=new"} << false << "" << false
        << kOld;
    QTest::newRow("folder above anyone may write")
        << Setup::OpenFolderAbove << kOld << QStringList{"dbuser=new"} << false << "" << false
        << kOld;
    QTest::newRow("another user's folder")
        << Setup::OthersFolder << kOld << QStringList{"dbuser=new"} << false << "" << false << kOld;
    QTest::newRow("folder linked to another user's folder")
        << Setup::LinkToOthersFolder << kOld << QStringList{"dbuser=new"} << false << "" << false
        << kOld;
    QTest::newRow("file anyone may write")
        << Setup::OpenOwnFile << kOld << QStringList{"dbuser=new"} << false << "" << false << kOld;
    // The owner's read-only mode is kept; with nothing to save, that is no failure.
    QTest::newRow("read-only file, a setting changed")
        << Setup::ReadOnlyOwnFile << kOld << QStringList{"dbuser=new"} << false << "old" << false
        << kOld;
    QTest::newRow("read-only file, nothing changed")
        << Setup::ReadOnlyOwnFile << kOld << QStringList{} << false << "old" << true << kOld;
    QTest::newRow("writable file in an unwritable folder")
        << Setup::UnwritableFolder << kOld << QStringList{"dbuser=new"} << true << "old" << true
        << QByteArray("DBUSER=new\r\n");
    QTest::newRow("own file anyone may write, in an unwritable folder")
        << Setup::UnwritableFolderOpenFile << kOld << QStringList{"dbpass=secret"} << true << ""
        << false << kOld;
    QTest::newRow("root's file anyone may write gets no password")
        << Setup::UnwritableFolderOthersFile << kOld << QStringList{"dbpass=secret"} << true << ""
        << false << kOld;
    QTest::newRow("unwritable folder, full disk")
        << Setup::UnwritableFolderFullDisk << kOld << QStringList{"dbpass=" + bigPassword} << true
        << "old" << false << kOld;
    // The first copy loaded before the second saved; its own change goes over the second's.
    QTest::newRow("two copies saving in turn")
        << Setup::TwoCopies << kOld << QStringList{"other=a"} << false << "old" << true
        << QByteArray("DBUSER=b\r\nDBPASS=pb\r\nOTHER=a\r\n");
}

void TestSettingsFile::saving() {
    QFETCH(Setup, setup);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, settings);
    QFETCH(bool, asOtherUser);
    QFETCH(QString, loadedUser);
    QFETCH(bool, saved);
    QFETCH(QByteArray, after);
    const bool needsRoot = asOtherUser || setup == Setup::FullDisk || setup == Setup::Device ||
                           setup == Setup::OtherOwner || setup == Setup::UnwritableFolderFullDisk ||
                           setup == Setup::OthersFolder || setup == Setup::LinkToOthersFolder;
    if (needsRoot && ::geteuid() != 0)
        QSKIP("this case needs root (a small disk, a device node or a second user)");
    QVERIFY2(prepare(setup, before), qPrintable(QString::fromLocal8Bit(strerror(errno))));
    struct stat old {};
    ::lstat(native(path).constData(), &old);

    QProcess* other = nullptr;
    if (setup == Setup::TwoCopies) {
        other = startProbe(QStringList{"--wait"} + settings, false);
        QVERIFY(other->waitForReadyRead(20000));
        QCOMPARE(other->readLine().trimmed(), "loaded " + loadedUser.toUtf8());
        // The second copy stores new credentials while the first still waits on its splash.
        QProcess* second = startProbe({"dbuser=b", "dbpass=pb"}, false);
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        other->write("\n");
        other->closeWriteChannel();
    }
    QProcess* probe = other ? other : startProbe(settings, asOtherUser);
    // A pipe or device must not hold the program up.
    QVERIFY2(probe->waitForFinished(20000), "the settings code hung");
    const QList<QByteArray> lines = probe->readAllStandardOutput().split('\n');
    QCOMPARE(probe->exitCode(), saved ? 0 : 1);
    if (!other)
        QCOMPARE(lines.value(0), "loaded " + loadedUser.toUtf8());
    const QString message = QString::fromLocal8Bit(lines.value(other ? 0 : 1));
    if (!saved)
        QVERIFY2(message.contains(path), qPrintable(message));

    switch (setup) {
    case Setup::LinkToFile:
        QCOMPARE(typeOf(path), mode_t(S_IFLNK));
        QCOMPARE(QFile::symLinkTarget(path), root->filePath("target.cfg"));
        QCOMPARE(readAll(root->filePath("target.cfg")), after);
        break;
    case Setup::DanglingLink:
    case Setup::LinkLoop:
        QCOMPARE(typeOf(path), mode_t(S_IFLNK));
        QVERIFY(!QFile::exists(root->filePath("missing.cfg")));
        break;
    case Setup::Fifo:
        QCOMPARE(typeOf(path), mode_t(S_IFIFO));
        break;
    case Setup::Folder:
        QCOMPARE(typeOf(path), mode_t(S_IFDIR));
        break;
    case Setup::Device:
        QCOMPARE(typeOf(path), mode_t(S_IFCHR));
        break;
    default: {
        QCOMPARE(readAll(path), after);
        struct stat now {};
        QCOMPARE(::lstat(native(path).constData(), &now), 0);
        QCOMPARE(now.st_uid, old.st_uid);
        if (setup == Setup::ReadOnlyOwnFile) {
            QCOMPARE(now.st_mode & 07777, mode_t(0444));
            QCOMPARE(now.st_ino, old.st_ino);
        } else if (saved) {
            QCOMPARE(now.st_mode & 07777, mode_t(0600));
        }
        if (setup == Setup::UnwritableFolder || setup == Setup::UnwritableFolderOpenFile)
            QCOMPARE(now.st_ino, old.st_ino); // rewritten in place
        if (setup == Setup::UnwritableFolderOthersFile || setup == Setup::OpenOwnFile)
            QCOMPARE(now.st_mode & 07777, mode_t(0666));
        const bool untrusted =
            setup == Setup::OtherOwner || setup == Setup::OpenFolderAbove ||
            setup == Setup::GroupWritableFolder || setup == Setup::OthersFolder ||
            setup == Setup::LinkToOthersFolder || setup == Setup::OpenOwnFile ||
            setup == Setup::UnwritableFolderOpenFile || setup == Setup::UnwritableFolderOthersFile;
        if (untrusted)
            QVERIFY2(message.contains("bad ownership or modes"), qPrintable(message));
        break;
    }
    }
}

// Two copies saving at the same moment, again and again: neither loses the other's setting.
void TestSettingsFile::copiesSavingAtOnce() {
    QVERIFY(prepare(Setup::PlainFile, kOld));
    for (int round = 0; round < 20; ++round) {
        const QString value = QString::number(round);
        QProcess* first = startProbe({"first=" + value}, false);
        QProcess* second = startProbe({"second=" + value}, false);
        QVERIFY(first->waitForFinished(20000) && second->waitForFinished(20000));
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(second->exitCode(), 0);
        const QByteArray now = readAll(path);
        QVERIFY2(now.contains("FIRST=" + value.toUtf8() + "\r\n") &&
                     now.contains("SECOND=" + value.toUtf8() + "\r\n"),
                 now.constData());
        delete first;
        delete second;
    }
}

// A save killed part-way left a temporary file (with the password): the next save removes it,
// and nothing else of the user's beside the settings.
void TestSettingsFile::staleTemporaryIsRemoved_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("the program's temporary") << ".local.cfg.linetally-Ab12Cd.tmp" << true;
    QTest::newRow("the user's backup") << ".local.cfg.backup" << false;
    QTest::newRow("six characters after the name") << ".local.cfg.Ab12Cd" << false;
}

void TestSettingsFile::staleTemporaryIsRemoved() {
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QVERIFY(prepare(Setup::PlainFile, kOld));
    const QString stale = folder + "/" + name;
    QVERIFY(writeFile(stale, "DBPASS=secret\r\n"));
    QProcess* probe = startProbe({"dbuser=new"}, false);
    QVERIFY(probe->waitForFinished(20000));
    QCOMPARE(probe->exitCode(), 0);
    QCOMPARE(QFile::exists(stale), !removed);
    QStringList expected{"local.cfg"};
    if (!removed)
        expected.prepend(name);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

// Another user holds the settings folder's lock and never lets go: the save gives up after the
// wait, leaves the file as it was and says why.
void TestSettingsFile::lockHeldByAnotherUser() {
    QVERIFY(prepare(Setup::PlainFile, kOld));
    QProcess holder;
    if (::geteuid() == 0) {
        const uid_t uid = otherUid;
        const gid_t gid = otherGid;
        holder.setChildProcessModifier([uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(99);
        });
    }
    holder.start("/usr/bin/python3", {"-c",
                                      "import fcntl, os, sys\n"
                                      "fd = os.open(sys.argv[1], os.O_RDONLY)\n"
                                      "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                                      "print('held', flush=True)\n"
                                      "sys.stdin.read()\n",
                                      folder});
    QVERIFY(holder.waitForReadyRead(20000));
    QCOMPARE(holder.readLine().trimmed(), "held");
    QProcess* probe = startProbe({"--lock-wait", "200", "dbuser=new"}, false);
    QVERIFY2(probe->waitForFinished(20000), "the save waited for the lock for good");
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(20000));
    QCOMPARE(probe->exitCode(), 1);
    const QByteArray said = probe->readAllStandardOutput();
    QVERIFY2(said.contains("held its folder"), said.constData());
    QCOMPARE(readAll(path), kOld);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
