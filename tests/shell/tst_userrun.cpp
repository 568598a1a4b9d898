// A newcomer's first run of the real program, driven through an X server as a user would:
// keys and clicks at the controls' positions, answers read from screenshots. It starts from a
// folder with no local.cfg, against the demo call data, and ends with File > Exit.
#include "chartwidget.h"
#include "form1.h"
#include "testdatabase.h"
#include "twips.h"

#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <set>

namespace {

constexpr int kScreenWidth = 1600; // wide enough for the window with its chart shown
constexpr int kScreenHeight = 1200;
constexpr int kWaitMs = 20000;

std::set<int> minutesFromList(const QString& text) {
    std::set<int> minutes;
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts))
        minutes.insert(item.toInt());
    return minutes;
}

QString rgb(QRgb pixel) {
    return QStringLiteral("(%1,%2,%3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel));
}

} // namespace

class TestUserRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstRunFromSplashToExit();
    void installedCopyKeepsSettingsPerUser();

private:
    bool startDisplay();
    QProcessEnvironment displayEnvironment() const;
    // Runs an X tool on the test's display; its standard output, or nullopt when it fails.
    std::optional<QString> x(const QString& program, const QStringList& arguments);
    QString waitForWindow(const QString& namePattern);
    QString waitForWindowOfSize(QSize size);
    // The program's windows on screen, pop-ups (an open list, a menu) included.
    int visibleWindows();
    // Polls until the program shows so many windows; false when it does not in time.
    bool waitForVisibleWindows(int count);
    QRect geometry(const QString& window);
    bool click(const QString& window, QPoint point);
    bool type(const QString& text);
    bool key(const QString& keys);
    QImage screenshot();
    bool loadDemoData();
    // Types the test role's credentials into the open credentials dialog and answers the
    // outcome; false when a step fails.
    bool logIn(const QString& loginWindow);
    // Clicks into the main window, which takes the keys then, and ends with File > Exit.
    bool exitFromMenu(const QString& mainWindow);

    QProcess xvfb_;
    QString display_;
    QProcess program_;
    QTemporaryDir folder_;
};

void TestUserRun::initTestCase() {
    REQUIRE_TEST_DATABASE();
    for (const char* tool : {"Xvfb", "xdotool", "import", "psql"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(QStringLiteral("%1 is missing: scripts/install-packages installs it")
                                 .arg(QLatin1String(tool))));
    }
    QVERIFY(folder_.isValid());
    QVERIFY(loadDemoData());
    QVERIFY2(startDisplay(), "Xvfb did not start");
}

void TestUserRun::cleanupTestCase() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished();
    }
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(5000))
            xvfb_.kill();
    }
}

bool TestUserRun::loadDemoData() {
    if (!TestDatabase::resetTables())
        return false;
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), qEnvironmentVariable("LINETALLY_TEST_SUPERPASSWORD"));
    psql.setProcessEnvironment(env);
    psql.start(QStringLiteral("psql"),
               {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
                QString::number(TestDatabase::port()), "-U",
                qEnvironmentVariable("LINETALLY_TEST_SUPERUSER"), "-d", "phonesystem", "-f",
                QStringLiteral(LINETALLY_SOURCE_DIR "/scripts/demo-data.sql")});
    if (!psql.waitForFinished(120000) || psql.exitCode() != 0) {
        qWarning() << "loading the demo data failed:" << psql.readAllStandardError();
        return false;
    }
    return true;
}

bool TestUserRun::startDisplay() {
    // The first display number nobody holds.
    for (int number = 90; number < 200; ++number) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        display_ = QStringLiteral(":%1").arg(number);
        xvfb_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // -noreset: the server must not reset when its last client goes, or a program started
        // just then cannot connect.
        xvfb_.start(QStringLiteral("Xvfb"),
                    {display_, "-screen", "0",
                     QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight), "-nolisten",
                     "tcp", "-noreset"});
        if (!xvfb_.waitForStarted())
            return false;
        bool answered = false;
        (void)QTest::qWaitFor(
            [&] {
                answered = x(QStringLiteral("xdotool"), {"getdisplaygeometry"}).has_value();
                return answered || xvfb_.state() != QProcess::Running;
            },
            kWaitMs);
        return answered;
    }
    return false;
}

QProcessEnvironment TestUserRun::displayEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), folder_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder_.path());
    return env;
}

std::optional<QString> TestUserRun::x(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessEnvironment(displayEnvironment());
    tool.start(program, arguments);
    if (!tool.waitForFinished(kWaitMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QString TestUserRun::waitForWindow(const QString& namePattern) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            if (const auto found = x(QStringLiteral("xdotool"),
                                     {"search", "--onlyvisible", "--name", namePattern})) {
                const QStringList ids = found->split(u'\n', Qt::SkipEmptyParts);
                if (!ids.isEmpty())
                    id = ids.last();
            }
            return !id.isEmpty();
        },
        kWaitMs);
    return id;
}

QString TestUserRun::waitForWindowOfSize(QSize size) {
    QString match;
    (void)QTest::qWaitFor(
        [&] {
            if (const auto found = x(QStringLiteral("xdotool"),
                                     {"search", "--onlyvisible", "--class", "^linetally$"})) {
                for (const QString& id : found->split(u'\n', Qt::SkipEmptyParts)) {
                    if (geometry(id).size() == size)
                        match = id;
                }
            }
            return !match.isEmpty();
        },
        kWaitMs);
    return match;
}

int TestUserRun::visibleWindows() {
    const auto found =
        x(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--class", "^linetally$"});
    return found ? int(found->split(u'\n', Qt::SkipEmptyParts).size()) : 0;
}

bool TestUserRun::waitForVisibleWindows(int count) {
    return QTest::qWaitFor([&] { return visibleWindows() == count; }, kWaitMs);
}

QRect TestUserRun::geometry(const QString& window) {
    const auto shell = x(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", window});
    if (!shell)
        return {};
    QHash<QString, int> values;
    for (const QString& line : shell->split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return QRect(values.value("X"), values.value("Y"), values.value("WIDTH"),
                 values.value("HEIGHT"));
}

bool TestUserRun::click(const QString& window, QPoint point) {
    return x(QStringLiteral("xdotool"),
             {"mousemove", "--window", window, QString::number(point.x()),
              QString::number(point.y()), "click", "1"})
        .has_value();
}

bool TestUserRun::type(const QString& text) {
    return x(QStringLiteral("xdotool"), {"type", "--delay", "30", text}).has_value();
}

bool TestUserRun::key(const QString& keys) {
    return x(QStringLiteral("xdotool"), {"key", keys}).has_value();
}

QImage TestUserRun::screenshot() {
    const QString file = folder_.filePath(QStringLiteral("screen.png"));
    if (!x(QStringLiteral("import"), {"-window", "root", file}))
        return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

bool TestUserRun::logIn(const QString& login) {
    if (!click(login, Twips::rect(120, 1440, 2895, 375).center()) || !type(TestDatabase::user()) ||
        !click(login, Twips::rect(120, 2280, 2895, 375).center()) ||
        !type(TestDatabase::password()) ||
        !click(login, Twips::rect(120, 2880, 2895, 495).center()))
        return false;
    // "Database Connection Successful", answered with Enter.
    return !waitForWindow(QStringLiteral("^Linetally$")).isEmpty() && key(QStringLiteral("Return"));
}

bool TestUserRun::exitFromMenu(const QString& mainWindow) {
    // The keys go to the window under the pointer: there is no window manager to give focus.
    const QRect frame = geometry(mainWindow);
    if (!click(mainWindow, QPoint(frame.width() / 2,
                                  frame.height() - Form1::kClientHeight + Twips::px(8040 - 300))))
        return false;
    // File > Exit, from the keyboard, once the menu is open.
    const int windows = visibleWindows();
    if (!key(QStringLiteral("alt+f")) || !waitForVisibleWindows(windows + 1))
        return false;
    return key(QStringLiteral("e")) && program_.waitForFinished(kWaitMs) &&
           program_.exitStatus() == QProcess::NormalExit && program_.exitCode() == 0;
}

void TestUserRun::firstRunFromSplashToExit() {
    // The busiest extension on its busiest day among the listed 90, and the minutes its calls
    // cover, worked out here from the table rather than by the program's own code.
    const QStringList busiest =
        TestDatabase::scalar(
            "SELECT e.value || ' ' || date(c.starttime) FROM public.dnallocation e "
            "JOIN public.callhistory2 c ON c.from_no = e.value OR c.to_no = e.value "
            "WHERE e.kind = 1 AND date(c.starttime) > current_date - 90 "
            "GROUP BY e.value, date(c.starttime) ORDER BY count(*) DESC, 1 LIMIT 1")
            .split(u' ');
    QCOMPARE(busiest.size(), 2);
    const QString extension = busiest[0];
    const QString day = QDate::fromString(busiest[1], Qt::ISODate).toString("M/d/yyyy");
    const auto coveredMinutes = [&](const QString& placedBy) {
        return minutesFromList(TestDatabase::scalar(
            QStringLiteral(
                "SELECT string_agg(DISTINCT m::text, ',') FROM public.callhistory2 c, "
                "LATERAL (SELECT extract(hour FROM c.starttime)::int * 60 "
                "                + extract(minute FROM c.starttime)::int AS first) s, "
                "generate_series(s.first, least(1439, s.first + greatest(floor(extract(epoch FROM "
                "c.dur) / 60)::int, 1) - 1)) AS m "
                "WHERE date(c.starttime) = '%1' AND (c.from_no = '%2' OR c.to_no = '%2') AND %3")
                .arg(busiest[1], extension, placedBy)));
    };
    const std::set<int> fromMinutes =
        coveredMinutes(QStringLiteral("c.from_no = '%1'").arg(extension));
    const std::set<int> toMinutes =
        coveredMinutes(QStringLiteral("c.from_no IS DISTINCT FROM '%1'").arg(extension));
    QVERIFY2(fromMinutes.size() > 10 && toMinutes.size() > 10, "the demo day is not busy");

    // A fresh folder: the program and nothing else.
    const QString binary = folder_.filePath(QStringLiteral("linetally"));
    QVERIFY(QFile::copy(QStringLiteral(LINETALLY_BINARY), binary));
    const QString settings = folder_.filePath(QStringLiteral("local.cfg"));
    QVERIFY(!QFile::exists(settings));
    program_.setProcessEnvironment(displayEnvironment());
    program_.setWorkingDirectory(folder_.path());
    program_.setProcessChannelMode(QProcess::ForwardedChannels);
    program_.start(binary, {});
    QVERIFY(program_.waitForStarted());

    // The splash, with the credentials dialog over it.
    const QString login = waitForWindow(QStringLiteral("^Login Info$"));
    QVERIFY2(!login.isEmpty(), "the credentials dialog did not open");
    // The splash has no caption: it is the program's window of the splash's size.
    QVERIFY2(!waitForWindowOfSize(Twips::size(7305, 4125)).isEmpty(), "the splash is not shown");
    QCOMPARE(geometry(login).size(), Twips::size(3165, 4125));
    QVERIFY2(logIn(login), "the credentials dialog could not be answered");

    const QString main = waitForWindow(QStringLiteral("^Linetally - "));
    QVERIFY2(!main.isEmpty(), "the main window did not open");
    QRect frame = geometry(main);
    QCOMPARE(frame.width(), Form1::kNormalClientWidth);
    const int menuHeight = frame.height() - Form1::kClientHeight;
    QVERIFY(menuHeight > 0);
    const auto inClient = [menuHeight](QPoint point) { return point + QPoint(0, menuHeight); };
    const auto pick = [&](const QRect& combo, const QString& entry) {
        // Open the list, type the entry once it is open, take it with Enter, and wait for the
        // list to close again.
        const int windows = visibleWindows();
        if (!click(main, inClient(combo.center())) || !waitForVisibleWindows(windows + 1))
            return false;
        return type(entry) && key(QStringLiteral("Return")) && waitForVisibleWindows(windows);
    };
    QVERIFY(pick(Twips::rect(120, 120, 1455, 330), day));
    QVERIFY(pick(Twips::rect(1680, 120, 1335, 330), QStringLiteral("Both")));
    QVERIFY(pick(Twips::rect(3120, 120, 975, 330), extension));
    QVERIFY(click(main, inClient(Twips::rect(6840, 120, 1335, 330).center()))); // "Show Chart"

    // The chart fills in once the search is done; wait for it rather than for a fixed time.
    QImage shot;
    QString fault;
    const auto chartDrawn = [&] {
        frame = geometry(main);
        shot = screenshot();
        fault.clear();
        if (frame.width() != Form1::kWideClientWidth) {
            fault = QStringLiteral("the window is %1 px wide").arg(frame.width());
            return false;
        }
        const QPoint chart = frame.topLeft() + inClient(QPoint(Twips::px(ChartWidget::kLeftTwips),
                                                               Twips::px(ChartWidget::kTopTwips)));
        const auto pixel = [&](const QRect& cell) { return shot.pixel(chart + cell.center()); };
        for (int minute = 0; minute < kMinutesPerDay && fault.isEmpty(); ++minute) {
            const QRgb from = pixel(ChartWidget::fromCellRect(minute));
            const QRgb to = pixel(ChartWidget::toCellRect(minute));
            const bool fromExpected = fromMinutes.count(minute) > 0;
            const bool toExpected = toMinutes.count(minute) > 0;
            if ((from == qRgb(128, 0, 0)) != fromExpected)
                fault = QStringLiteral("minute %1: from-cell %2").arg(minute).arg(rgb(from));
            else if ((to == qRgb(64, 64, 64)) != toExpected)
                fault = QStringLiteral("minute %1: to-cell %2").arg(minute).arg(rgb(to));
        }
        return fault.isEmpty();
    };
    (void)QTest::qWaitFor(chartDrawn, kWaitMs);
    if (!fault.isEmpty()) {
        const QString kept = QDir::current().filePath(QStringLiteral("tst_userrun-screen.png"));
        shot.save(kept);
        QFAIL(qPrintable(QStringLiteral("%1 (screenshot: %2)").arg(fault, kept)));
    }

    QVERIFY2(exitFromMenu(main), "File > Exit did not end the program with status 0");

    QFile saved(settings);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QVERIFY(lines.contains("DBUSER=" + TestDatabase::user().toUtf8() + '\r'));
    QVERIFY(lines.contains("DBPASS=" + TestDatabase::password().toUtf8() + '\r'));
    QCOMPARE(QFileInfo(settings).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
}

// An installed copy, run by a user who cannot write its bin folder, keeps the credentials in that
// user's own configuration folder and finds them there at the next start.
void TestUserRun::installedCopyKeepsSettingsPerUser() {
    if (::geteuid() != 0)
        QSKIP("running the program as another user needs root");
    const passwd* nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    QTemporaryDir tree;
    QVERIFY(QFile::setPermissions(tree.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadOther |
                                                   QFile::ExeOther));
    const QString prefix = tree.filePath(QStringLiteral("usr"));
    QProcess install;
    install.start(QStringLiteral("cmake"), {"--install", LINETALLY_BUILD_DIR, "--prefix", prefix});
    QVERIFY(install.waitForFinished(60000));
    QCOMPARE(install.exitCode(), 0);
    const QString home = tree.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home + "/run"));
    for (const QString& folder : {home, home + "/run"})
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), uid, gid), 0);
    QProcessEnvironment env = displayEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + "/run");
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    const auto start = [&] {
        program_.setProcessEnvironment(env);
        program_.setWorkingDirectory(home);
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        program_.setChildProcessModifier([uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(99);
        });
        program_.start(prefix + "/bin/linetally", {});
        return program_.waitForStarted();
    };

    QVERIFY(start());
    const QString login = waitForWindow(QStringLiteral("^Login Info$"));
    QVERIFY2(!login.isEmpty(), "the credentials dialog did not open");
    QVERIFY2(logIn(login), "the credentials dialog could not be answered");
    QString main = waitForWindow(QStringLiteral("^Linetally - "));
    QVERIFY2(!main.isEmpty(), "the main window did not open");
    QVERIFY2(exitFromMenu(main), "File > Exit did not end the program with status 0");

    const QString settings = home + "/.config/linetally/local.cfg";
    QFile saved(settings);
    QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(settings));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QVERIFY(lines.contains("DBUSER=" + TestDatabase::user().toUtf8() + '\r'));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(settings).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QCOMPARE(st.st_uid, uid);
    QVERIFY(!QFile::exists(prefix + "/bin/local.cfg"));

    // The next start finds them: the main window comes without a credentials dialog.
    QVERIFY(start());
    main = waitForWindow(QStringLiteral("^Linetally - "));
    QVERIFY2(!main.isEmpty(), "the main window did not open");
    const auto dialogs =
        x(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Login Info$"});
    QVERIFY2(!dialogs || dialogs->trimmed().isEmpty(), "the credentials dialog opened again");
    QVERIFY2(exitFromMenu(main), "File > Exit did not end the program with status 0");
}

QTEST_MAIN(TestUserRun)
#include "tst_userrun.moc"
