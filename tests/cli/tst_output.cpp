// Where --output writes: a file is replaced whole and never through a link, a pipe or device is
// written into and stays what it is, and anything else is refused. Files are read back with
// cat, a reader of their own.
#include "output.h"
#include "terminal.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

enum class Target {
    NewName,
    OwnFile,          // the user's own file, mode 0640
    OthersOpenFile,   // another user's file, mode 0666
    LinkToFile,       // a link in the user's folder
    LinkInSharedDir,  // another user's link in a sticky folder anyone may write
    FolderLinkShared, // another user's link to a folder, in a sticky folder
    Fifo,
    LinkToFifoShared, // another user's link to a pipe, in a sticky folder
    NullDevice,
    FullDevice,
    Folder,
    Socket,
};
Q_DECLARE_METATYPE(Target)

namespace {

const QByteArray kOld = "old report\n";
const QByteArray kNew = "call_from,call_to\r\n101,102\r\n";

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The file's bytes as cat reads them.
QByteArray readBack(const QString& path) {
    QProcess cat;
    cat.start("cat", {path});
    return cat.waitForFinished(20000) && cat.exitCode() == 0 ? cat.readAllStandardOutput()
                                                             : QByteArray("<unreadable>");
}

struct stat lstatOf(const QString& path) {
    struct stat found {};
    if (::lstat(native(path).constData(), &found) != 0)
        found.st_mode = 0;
    return found;
}

bool writeFile(const QString& path, const QByteArray& bytes, mode_t mode) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           ::chmod(native(path).constData(), mode) == 0;
}

} // namespace

class TestOutput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void writing_data();
    void writing();
    void failedWriteLeavesTheOldFile();
    void readerGoingAwayEndsQuietly();

private:
    bool prepare(Target target);
    std::unique_ptr<QTemporaryDir> dir;
    QString shared; // a sticky folder anyone may write, like /tmp
    QString path;   // what --output names
    QString victim; // a file of the user's that a planted link points at
    uid_t otherUid = 65534;
    int socketFd = -1;
};

void TestOutput::initTestCase() {
    Terminal::IgnoreBrokenPipe(); // as the program does: a closed pipe fails a write
    ::umask(0022);                // new files come out 0644
    if (const passwd* nobody = ::getpwnam("nobody"))
        otherUid = nobody->pw_uid;
}

void TestOutput::init() {
    if (socketFd >= 0)
        ::close(socketFd);
    socketFd = -1;
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    shared = dir->filePath("shared");
    QVERIFY(QDir().mkdir(shared));
    QCOMPARE(::chmod(native(shared).constData(), 01777), 0);
    victim = dir->filePath("victim.txt");
    QVERIFY(writeFile(victim, kOld, 0600));
}

bool TestOutput::prepare(Target target) {
    path = dir->filePath("report.csv");
    const QByteArray file = native(path);
    const auto plantedLink = [&](const QString& to) {
        path = shared + "/report.csv";
        return ::symlink(native(to).constData(), native(path).constData()) == 0 &&
               ::lchown(native(path).constData(), otherUid, otherUid) == 0;
    };
    switch (target) {
    case Target::NewName:
        return true;
    case Target::OwnFile:
        return writeFile(path, kOld, 0640);
    case Target::OthersOpenFile:
        return writeFile(path, kOld, 0666) && ::chown(file.constData(), otherUid, otherUid) == 0;
    case Target::LinkToFile:
        return ::symlink(native(victim).constData(), file.constData()) == 0;
    case Target::LinkInSharedDir:
        return plantedLink(victim);
    case Target::FolderLinkShared: {
        const QString link = shared + "/reports";
        path = link + "/report.csv";
        return ::symlink(native(dir->path()).constData(), native(link).constData()) == 0 &&
               ::lchown(native(link).constData(), otherUid, otherUid) == 0;
    }
    case Target::Fifo:
        return ::mkfifo(file.constData(), 0600) == 0;
    case Target::LinkToFifoShared:
        return ::mkfifo(native(dir->filePath("pipe")).constData(), 0600) == 0 &&
               plantedLink(dir->filePath("pipe"));
    // Nodes of their own, like /dev/null and /dev/full: a fault here must not cost the system
    // its devices.
    case Target::NullDevice:
        return ::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    case Target::FullDevice:
        return ::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    case Target::Folder:
        return QDir().mkdir(path);
    case Target::Socket: {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (file.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, file.constData(), size_t(file.size()));
        return ::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    }
    return false;
}

void TestOutput::writing_data() {
    QTest::addColumn<Target>("target");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("says");

    QTest::newRow("new name") << Target::NewName << true << "";
    QTest::newRow("own file keeps its mode") << Target::OwnFile << true << "";
    QTest::newRow("another user's 0666 file becomes one's own")
        << Target::OthersOpenFile << true << "";
    QTest::newRow("link replaced, not followed") << Target::LinkToFile << true << "";
    // Root may replace another's link in a sticky folder; it writes nothing through it.
    QTest::newRow("planted link in a shared folder replaced")
        << Target::LinkInSharedDir << true << "";
    QTest::newRow("planted folder link in a shared folder")
        << Target::FolderLinkShared << false << "does not follow it";
    QTest::newRow("named pipe written into") << Target::Fifo << true << "";
    QTest::newRow("planted link to a pipe in a shared folder")
        << Target::LinkToFifoShared << false << "does not follow it";
    QTest::newRow("null device stays a device") << Target::NullDevice << true << "";
    QTest::newRow("device that fails a write") << Target::FullDevice << false << "No space left";
    QTest::newRow("folder refused") << Target::Folder << false << "it is a folder";
    QTest::newRow("socket refused") << Target::Socket << false << "it is a socket";
}

void TestOutput::writing() {
    QFETCH(Target, target);
    QFETCH(bool, written);
    QFETCH(QString, says);
    const bool needsRoot = target == Target::OthersOpenFile || target == Target::LinkInSharedDir ||
                           target == Target::FolderLinkShared ||
                           target == Target::LinkToFifoShared || target == Target::NullDevice ||
                           target == Target::FullDevice;
    if (needsRoot && ::geteuid() != 0)
        QSKIP("this case needs root (a file or link of another user, or a device node)");
    QVERIFY(prepare(target));
    const struct stat before = lstatOf(path);

    // A pipe needs its reader, which takes what was written.
    QProcess reader;
    if (target == Target::Fifo)
        reader.start("cat", {path});

    Status outcome;
    {
        auto opened = Output::Open(path);
        if (opened) {
            Output& output = *opened.value;
            // A failed write is what finish() reports.
            (void)output.write(kNew);
            outcome = output.finish();
        } else {
            outcome = Status::failure(opened.reason());
        }
    }
    QCOMPARE(outcome.ok(), written);
    if (!written)
        QVERIFY2(outcome.reason().contains(path) && outcome.reason().contains(says),
                 qPrintable(outcome.reason()));

    // Nothing the user did not name changed, and no temporary file is left.
    QCOMPARE(readBack(victim), kOld);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp"), QStringList());
    QCOMPARE(QDir(shared).entryList(QDir::Hidden | QDir::Files).filter(".tmp"), QStringList());

    const struct stat after = lstatOf(path);
    switch (target) {
    case Target::NewName:
        QCOMPARE(readBack(path), kNew);
        QCOMPARE(after.st_mode & 0777, mode_t(0644));
        break;
    case Target::OwnFile:
        QCOMPARE(readBack(path), kNew);
        QCOMPARE(after.st_mode & 0777, mode_t(0640));
        break;
    case Target::OthersOpenFile:
        QCOMPARE(readBack(path), kNew);
        QCOMPARE(after.st_uid, ::geteuid());
        QCOMPARE(after.st_mode & 0777, mode_t(0644));
        break;
    case Target::LinkToFile:
    case Target::LinkInSharedDir:
        QCOMPARE(after.st_mode & S_IFMT, mode_t(S_IFREG));
        QCOMPARE(after.st_uid, ::geteuid());
        QCOMPARE(readBack(path), kNew);
        break;
    case Target::Fifo:
        QVERIFY(reader.waitForFinished(20000));
        QCOMPARE(reader.readAllStandardOutput(), kNew);
        QCOMPARE(after.st_mode & S_IFMT, mode_t(S_IFIFO));
        QCOMPARE(after.st_ino, before.st_ino);
        break;
    case Target::NullDevice:
    case Target::FullDevice:
        QCOMPARE(after.st_mode & S_IFMT, mode_t(S_IFCHR));
        QCOMPARE(after.st_rdev, before.st_rdev);
        break;
    case Target::LinkToFifoShared:
    case Target::FolderLinkShared:
        QVERIFY(!QFile::exists(dir->filePath("report.csv")));
        break;
    case Target::Folder:
    case Target::Socket:
        QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        break;
    }
}

// A report that fails part-way leaves the old file exactly as it was.
void TestOutput::failedWriteLeavesTheOldFile() {
    QVERIFY(prepare(Target::OwnFile));
    {
        auto opened = Output::Open(path);
        QVERIFY(opened);
        QVERIFY(opened.value->write(QByteArray(1024 * 1024, 'x')));
        opened.value->abandon();
    }
    QCOMPARE(readBack(path), kOld);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp"), QStringList());
}

// A reader that stops reading (| head) stops the writes, and the report ends with success.
void TestOutput::readerGoingAwayEndsQuietly() {
    QVERIFY(prepare(Target::Fifo));
    QProcess reader;
    reader.start("head", {"-c", "1", path});
    QVERIFY(reader.waitForStarted());
    auto opened = Output::Open(path);
    QVERIFY2(opened, qPrintable(opened.reason()));
    Output& output = *opened.value;
    const QByteArray chunk(64 * 1024, 'x');
    Status written;
    // Far more than a pipe holds: the writes must stop once the reader has gone.
    for (int i = 0; i < 4096 && written; ++i)
        written = output.write(chunk);
    QVERIFY(!written);
    QVERIFY2(Output::ReaderWentAway(written), qPrintable(written.reason()));
    QVERIFY(Output::ReaderWentAway(output.status()));
    QVERIFY(!output.write(chunk)); // stays stopped
    const Status finished = output.finish();
    QVERIFY2(finished, qPrintable(finished.reason()));
    QVERIFY(reader.waitForFinished(20000));
    QCOMPARE(lstatOf(path).st_mode & S_IFMT, mode_t(S_IFIFO));
}

QTEST_GUILESS_MAIN(TestOutput)
#include "tst_output.moc"
