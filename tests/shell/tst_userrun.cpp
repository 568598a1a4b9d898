// A newcomer's first run of the real program, driven through an X server as a user would:
// keys and clicks at the controls' positions, answers read from screenshots. It starts from a
// folder with no local.cfg, against the demo call data, and ends with File > Exit.
#include "chartwidget.h"
#include "form1.h"
#include "testdatabase.h"
#include "twips.h"

#include <QtTest>

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

private:
    bool startDisplay();
    QProcessEnvironment displayEnvironment() const;
    // Runs an X tool on the test's display; its standard output, or nullopt when it fails.
    std::optional<QString> x(const QString& program, const QStringList& arguments);
    QString waitForWindow(const QString& namePattern);
    QString waitForWindowOfSize(QSize size);
    QRect geometry(const QString& window);
    bool click(const QString& window, QPoint point);
    bool type(const QString& text);
    bool key(const QString& keys);
    QImage screenshot();
    bool loadDemoData();

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
               {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", "5480", "-U",
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
        xvfb_.start(QStringLiteral("Xvfb"),
                    {display_, "-screen", "0",
                     QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight), "-nolisten",
                     "tcp"});
        if (!xvfb_.waitForStarted())
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kWaitMs && xvfb_.state() == QProcess::Running) {
            if (x(QStringLiteral("xdotool"), {"getdisplaygeometry"}))
                return true;
            QTest::qWait(100);
        }
        return false;
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
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kWaitMs) {
        if (const auto found =
                x(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", namePattern})) {
            const QStringList ids = found->split(u'\n', Qt::SkipEmptyParts);
            if (!ids.isEmpty())
                return ids.last();
        }
        QTest::qWait(100);
    }
    return {};
}

QString TestUserRun::waitForWindowOfSize(QSize size) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kWaitMs) {
        if (const auto found = x(QStringLiteral("xdotool"),
                                 {"search", "--onlyvisible", "--class", "^linetally$"})) {
            for (const QString& id : found->split(u'\n', Qt::SkipEmptyParts)) {
                if (geometry(id).size() == size)
                    return id;
            }
        }
        QTest::qWait(100);
    }
    return {};
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
    QVERIFY(click(login, Twips::rect(120, 1440, 2895, 375).center()));
    QVERIFY(type(TestDatabase::user()));
    QVERIFY(click(login, Twips::rect(120, 2280, 2895, 375).center()));
    QVERIFY(type(TestDatabase::password()));
    QVERIFY(click(login, Twips::rect(120, 2880, 2895, 495).center()));
    // "Database Connection Successful", answered with Enter.
    QVERIFY2(!waitForWindow(QStringLiteral("^Linetally$")).isEmpty(), "no connection message");
    QVERIFY(key(QStringLiteral("Return")));

    const QString main = waitForWindow(QStringLiteral("^Linetally - "));
    QVERIFY2(!main.isEmpty(), "the main window did not open");
    QRect frame = geometry(main);
    QCOMPARE(frame.width(), Form1::kNormalClientWidth);
    const int menuHeight = frame.height() - Form1::kClientHeight;
    QVERIFY(menuHeight > 0);
    const auto inClient = [menuHeight](QPoint point) { return point + QPoint(0, menuHeight); };
    const auto pick = [&](const QRect& combo, const QString& entry) {
        // Open the list, type the entry, take it with Enter.
        if (!click(main, inClient(combo.center())))
            return false;
        QTest::qWait(300);
        const bool picked = type(entry) && key(QStringLiteral("Return"));
        QTest::qWait(300);
        return picked;
    };
    QVERIFY(pick(Twips::rect(120, 120, 1455, 330), day));
    QVERIFY(pick(Twips::rect(1680, 120, 1335, 330), QStringLiteral("Both")));
    QVERIFY(pick(Twips::rect(3120, 120, 975, 330), extension));
    QVERIFY(click(main, inClient(Twips::rect(6840, 120, 1335, 330).center()))); // "Show Chart"

    // The chart fills in once the search is done; wait for it rather than for a fixed time.
    QImage shot;
    QString fault;
    QElapsedTimer clock;
    clock.start();
    do {
        QTest::qWait(250);
        frame = geometry(main);
        shot = screenshot();
        fault.clear();
        if (frame.width() != Form1::kWideClientWidth) {
            fault = QStringLiteral("the window is %1 px wide").arg(frame.width());
            continue;
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
    } while (!fault.isEmpty() && clock.elapsed() < kWaitMs);
    if (!fault.isEmpty()) {
        const QString kept = QDir::current().filePath(QStringLiteral("tst_userrun-screen.png"));
        shot.save(kept);
        QFAIL(qPrintable(QStringLiteral("%1 (screenshot: %2)").arg(fault, kept)));
    }

    // File > Exit, from the keyboard.
    QVERIFY(key(QStringLiteral("alt+f")));
    QTest::qWait(300);
    QVERIFY(key(QStringLiteral("e")));
    QVERIFY2(program_.waitForFinished(kWaitMs), "the program did not end");
    QCOMPARE(program_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program_.exitCode(), 0);

    QFile saved(settings);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QVERIFY(lines.contains("DBUSER=" + TestDatabase::user().toUtf8() + '\r'));
    QVERIFY(lines.contains("DBPASS=" + TestDatabase::password().toUtf8() + '\r'));
    QCOMPARE(QFileInfo(settings).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
}

QTEST_MAIN(TestUserRun)
#include "tst_userrun.moc"
