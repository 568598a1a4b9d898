#include "clock.h"
#include "config.h"
#include "dbconnection.h"
#include "dbroutines.h"
#include "dialogs.h"
#include "endprogram.h"
#include "form1.h"
#include "form2.h"
#include "statustext.h"
#include "testdatabase.h"
#include "textforms.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dateList();
    void splashLoadStep();
    void splashOpensMainWindowOnce();
    void databaseDownAtStartup();
    void unwritableSettingsAreReported();
    void readOnlyFolderStartup();
    void heldSettingsFolderStartup();
    void noticeAboveSplashKeepsProgram();
    void lockedExtensionsSayWhy();

private:
    void writeSettings(const QByteArray& bytes);
    QByteArray readSettings();
    QTemporaryDir dir;
};

void TestStartup::initTestCase() {
    REQUIRE_TEST_DATABASE();
    SetEndProgramHandlerForTesting([] { QFAIL("the program ended"); });
}

void TestStartup::init() {
    config::ClearConfig();
    config::SetConfigFilePath(dir.filePath("local.cfg"));
    QFile::remove(config::ConfigFilePath());
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.dnallocation (value, kind) VALUES ('100', 1), ('101', 1)"));
}

void TestStartup::cleanup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form1*>(widget) || qobject_cast<Form2*>(widget)) {
            widget->hide();
            widget->deleteLater();
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestStartup::writeSettings(const QByteArray& bytes) {
    QFile file(config::ConfigFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestStartup::readSettings() {
    QFile file(config::ConfigFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestStartup::dateList() {
    const QStringList entries = TextForms::DateListEntries(QDate(2024, 3, 1));
    QCOMPARE(entries.size(), 90);
    QCOMPARE(entries.first(), QStringLiteral("3/1/2024"));
    QCOMPARE(entries.at(1), QStringLiteral("2/29/2024"));
    QCOMPARE(entries.last(), QStringLiteral("12/3/2023"));
}

void TestStartup::splashLoadStep() {
    writeSettings("dbuser=someone\n=junk\n");
    Form2 splash;
    splash.Form_Load();
    QCOMPARE(splash.Label2->text(), QStringLiteral("v1.1.1"));
    QCOMPARE(splash.size(), QSize(487, 275));
    QCOMPARE(readSettings(), QByteArray("DBUSER=someone\r\n"));
    QVERIFY(splash.Timer1->isActive());
    QCOMPARE(splash.Timer1->interval(), 3000);
    splash.Timer1->stop();
}

void TestStartup::splashOpensMainWindowOnce() {
    writeSettings("DBUSER=" + TestDatabase::user().toUtf8() +
                  "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    MessageBoxAnswerer answerer;
    StartOptions options;
    options.mainWindow.today = [] { return QDate(2024, 3, 1); };
    auto* splash = new Form2(options);
    splash->Form_Load();
    splash->show();
    // Nothing but the timer opens the main window.
    QCoreApplication::processEvents();
    QVERIFY(!splash->mainWindow());
    QVERIFY(splash->Timer1->isActive());
    splash->Timer1->start(0);
    QTRY_VERIFY_WITH_TIMEOUT(splash->mainWindow() && splash->mainWindow()->isVisible(), 30000);
    Form1* main = splash->mainWindow();
    QVERIFY(!splash->isVisible());
    QVERIFY(!splash->Timer1->isActive());
    QCOMPARE(main->windowTitle(), QStringLiteral("Linetally - "));
    QCOMPARE(main->Combo2->count(), 90);
    QCOMPARE(main->Combo2->itemText(0), QStringLiteral("3/1/2024"));
    QCOMPARE(main->Combo2->itemText(89), QStringLiteral("12/3/2023"));
    QCOMPARE(main->Combo2->currentText(), QString());
    QCOMPARE(main->Combo3->count(), 2);
    QCOMPARE(main->Combo3->currentText(), QString());
    QCOMPARE(dbRoutines::DbDriver, dbRoutines::kUnicodeDriver);
    QTRY_COMPARE(QApplication::focusWidget(), main->Command1);
    QVERIFY(answerer.texts().isEmpty());

    // The timer stopped with its first tick: no second main window can come.
    QVERIFY(!splash->Timer1->isActive());
    QCoreApplication::processEvents();
    int mainWindows = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        mainWindows += qobject_cast<Form1*>(widget) != nullptr;
    QCOMPARE(mainWindows, 1);
}

void TestStartup::databaseDownAtStartup() {
    config::SetConfig("dbuser", TestDatabase::user());
    MessageBoxAnswerer answerer;
    QVERIFY(TestDatabase::stopServer());
    Form1 window;
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    QVERIFY(TestDatabase::startServer());
    QCOMPARE(answerer.texts(), QStringList{"Linetally failed to connect to your 3CX database."});
    QCOMPARE(answerer.titles(), QStringList{"Linetally"});
    QCOMPARE(window.Combo3->count(), 0);
    QCOMPARE(window.Combo2->count(), 90);
    // The end of the load step saves; an empty password is stored as such.
    QCOMPARE(readSettings(), "DBUSER=" + TestDatabase::user().toUtf8() + "\r\n");
}

void TestStartup::unwritableSettingsAreReported() {
    const QString path = dir.filePath("no-such-folder/local.cfg");
    config::SetConfigFilePath(path);
    MessageBoxAnswerer answerer;
    Form2 splash;
    splash.Form_Load();
    splash.Timer1->stop();
    QTRY_COMPARE(answerer.texts().size(), 1);
    QVERIFY2(answerer.texts().first().contains(path), qPrintable(answerer.texts().first()));
    QCOMPARE(splash.Label2->text(), QStringLiteral("v1.1.1"));
}

// A folder nobody can write, holding a read-only file with working credentials: the start-up
// saves have nothing to write, so no failure box opens and the main window comes.
void TestStartup::readOnlyFolderStartup() {
    QTemporaryDir locked;
    const QString path = locked.filePath("local.cfg");
    config::SetConfigFilePath(path);
    writeSettings("DBUSER=" + TestDatabase::user().toUtf8() +
                  "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const auto unlock = [&] {
        if (::geteuid() == 0)
            QProcess::execute("chattr", {"-i", path, locked.path()});
        QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    };
    if (::geteuid() == 0 && QProcess::execute("chattr", {"+i", path, locked.path()}) != 0) {
        unlock();
        QSKIP("running as root on a filesystem without chattr: a read-only folder cannot be made");
    }

    QStringList boxes;
    bool splashHiddenWhenMainShown = false;
    Form2* splash = nullptr;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible())
                continue;
            if (!box->property("seen").toBool()) {
                box->setProperty("seen", true);
                boxes << box->text();
            }
            // The first box stays open until the main window is there, then each is answered
            // at once.
            if (boxes.size() > 1 || (splash && splash->mainWindow()))
                box->button(QMessageBox::Ok)->click();
        }
        if (splash && splash->mainWindow() && splash->mainWindow()->isVisible() &&
            !splashHiddenWhenMainShown)
            splashHiddenWhenMainShown = !splash->isVisible();
    });
    poll.start();
    splash = new Form2({std::chrono::milliseconds(200), {}});
    splash->Form_Load();
    splash->show();
    QTRY_VERIFY_WITH_TIMEOUT(splash->mainWindow() && splash->mainWindow()->isVisible(), 30000);
    QTRY_COMPARE(QApplication::activeModalWidget(), nullptr);
    unlock();
    QTRY_VERIFY(splashHiddenWhenMainShown);
    QVERIFY(!splash->isVisible());
    // Both load steps have run their saves by now.
    QCOMPARE(boxes, QStringList());
    // The main window works: nothing modal is left and the extensions came.
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(splash->mainWindow()->Combo3->count(), 2);
}

// Another program holds the settings folder and never lets go: each start-up save gives up after
// the wait and says why, and the main window comes.
void TestStartup::heldSettingsFolderStartup() {
    writeSettings("DBUSER=" + TestDatabase::user().toUtf8() +
                  "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    QProcess holder;
    holder.start("/usr/bin/python3", {"-c",
                                      "import fcntl, os, sys\n"
                                      "fd = os.open(sys.argv[1], os.O_RDONLY)\n"
                                      "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                                      "print('held', flush=True)\n"
                                      "sys.stdin.read()\n",
                                      dir.path()});
    QVERIFY(holder.waitForReadyRead(20000));
    MessageBoxAnswerer answerer;
    auto* splash = new Form2({std::chrono::milliseconds(200), {std::chrono::milliseconds(100)}});
    splash->Form_Load();
    splash->show();
    QTRY_VERIFY_WITH_TIMEOUT(splash->mainWindow() && splash->mainWindow()->isVisible(), 30000);
    QTRY_COMPARE(answerer.texts().size(), 2);
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(20000));
    for (const QString& text : answerer.texts())
        QVERIFY2(text.contains("held its folder"), qPrintable(text));
    QCOMPARE(splash->mainWindow()->Combo3->count(), 2);
}

// The settings cannot be saved: the notice opens once the splash is on screen (so over it), and
// pressing its OK before the main window is there does not end the program, which goes on to its
// main window. Run in the application's own event loop, which closing the last window would end.
void TestStartup::noticeAboveSplashKeepsProgram() {
    config::SetConfigFilePath(dir.filePath("no-such-folder/local.cfg"));
    config::SetConfig("dbuser", TestDatabase::user());
    config::SetConfig("dbpass", TestDatabase::password());
    auto* splash = new Form2;
    splash->Form_Load();
    splash->show();
    bool splashShownWithNotice = false, answered = false;
    QTimer step;
    step.setInterval(20);
    connect(&step, &QTimer::timeout, [&] {
        if (!answered) {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box || !box->isVisible())
                    continue;
                splashShownWithNotice = splash->isVisible() && !splash->mainWindow();
                box->button(QMessageBox::Ok)->click();
                answered = true;
                return;
            }
        } else if (!splash->mainWindow()) {
            splash->Timer1->start(0);
        } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Ok)->click(); // the main window's own failed save
        } else if (splash->mainWindow()->isVisible()) {
            QCoreApplication::exit(0); // quit() would close the windows, and so end the program
        }
    });
    step.start();
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
    QApplication::exec();
    QVERIFY(answered);
    QVERIFY(splashShownWithNotice);
    QVERIFY2(splash->mainWindow() && splash->mainWindow()->isVisible(),
             "the program ended with the notice");
}

// Another session holds the extension table: the list stays empty and the status says why.
void TestStartup::lockedExtensionsSayWhy() {
    writeSettings("DBUSER=" + TestDatabase::user().toUtf8() +
                  "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    config::LoadConfig();
    TestDatabase::TableLock lock("public.dnallocation");
    QVERIFY(lock.held());
    MessageBoxAnswerer answerer;
    MainWindowOptions options;
    options.queryTimeoutSeconds = 3;
    Form1 window(options);
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    lock.release();
    QCOMPARE(window.Combo3->count(), 0);
    QVERIFY2(window.statusSummary->fullText().startsWith("Extension list failed: ") &&
                 window.statusSummary->fullText().contains("statement timeout"),
             qPrintable(window.statusSummary->fullText()));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
