#include "config.h"
#include "dbroutines.h"
#include "dialogs.h"
#include "endprogram.h"
#include "form1.h"
#include "login.h"
#include "testdatabase.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void layoutAndFocus();
    void enterAndEscPressNothing();
    void enterPressesTheFocusedButton();
    void failureNamesTheCause_data();
    void failureNamesTheCause();
    void lineBreakIsRefused_data();
    void lineBreakIsRefused();
    void firstStartWithCorrectCredentials();
    void failedTestThenCloseBox();
    void userNameWithTrailingBlank();
    void passwordWithSeparatorsLogsIn();
    void menuOpensEmptyDialog();

private:
    QByteArray readSettings();
    // Fills the dialog as an operator would and presses "Connect to Database".
    static void typeAndConnect(QWidget* dialog, const QString& user, const QString& password);
    QTemporaryDir dir;
    int endings = 0;
};

void TestLogin::initTestCase() {
    REQUIRE_TEST_DATABASE();
    SetEndProgramHandlerForTesting([this] { ++endings; });
}

void TestLogin::init() {
    config::ClearConfig();
    config::SetConfigFilePath(dir.filePath("local.cfg"));
    QFile::remove(config::ConfigFilePath());
    dbRoutines::DbDriver.clear();
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.dnallocation (value, kind) VALUES ('100', 1), ('101', 1)"));
}

QByteArray TestLogin::readSettings() {
    QFile file(config::ConfigFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestLogin::typeAndConnect(QWidget* widget, const QString& user, const QString& password) {
    auto* dialog = qobject_cast<login*>(widget);
    QVERIFY(dialog);
    QTest::keyClicks(dialog->Text1[0], user);
    QTest::keyClicks(dialog->Text1[1], password);
    // Should the test fail and leave the dialog open, close it so that the test ends.
    QTimer::singleShot(15000, dialog, &QWidget::close);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
}

void TestLogin::layoutAndFocus() {
    Form1 owner;
    login dialog(&owner);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Login Info"));
    QCOMPARE(dialog.size(), QSize(211, 275));
    QCOMPARE(dialog.Text1[0]->geometry(), QRect(8, 96, 193, 25));
    QCOMPARE(dialog.Text1[1]->geometry(), QRect(8, 152, 193, 25));
    QCOMPARE(dialog.Command1->text(), QStringLiteral("Connect to Database"));
    QCOMPARE(dialog.Command2->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.Label1[0]->text(), QStringLiteral("Username"));
    QCOMPARE(dialog.Label1[1]->text(), QStringLiteral("Password"));
    QCOMPARE(dialog.Text1[1]->echoMode(), QLineEdit::Password);
    QCOMPARE(QApplication::focusWidget(), dialog.Text1[0]);
    QVERIFY(dialog.Text1[0]->text().isEmpty() && dialog.Text1[1]->text().isEmpty());
    QTest::keyClick(dialog.Text1[0], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.Text1[1]);
}

void TestLogin::enterAndEscPressNothing() {
    Form1 owner;
    login dialog(&owner);
    MessageBoxAnswerer answerer;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClicks(dialog.Text1[0], "someone");
    QTest::keyClick(dialog.Text1[0], Qt::Key_Return);
    QTest::keyClick(dialog.Text1[0], Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QVERIFY(answerer.texts().isEmpty());
    QCOMPARE(config::GetConfig("dbuser"), QString());
}

void TestLogin::enterPressesTheFocusedButton() {
    Form1 owner;
    login dialog(&owner);
    MessageBoxAnswerer answerer;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClicks(dialog.Text1[0], TestDatabase::user());
    QTest::keyClick(dialog.Text1[0], Qt::Key_Return);
    QTest::keyClick(dialog.Text1[0], Qt::Key_Tab);
    QTest::keyClicks(dialog.Text1[1], TestDatabase::password());
    QTest::keyClick(dialog.Text1[1], Qt::Key_Enter);
    QCoreApplication::processEvents();
    QVERIFY(answerer.texts().isEmpty()); // Enter in a text box runs nothing
    QTest::keyClick(dialog.Text1[1], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.Command1);
    QTest::keyClick(dialog.Command1, Qt::Key_Return);
    QTRY_COMPARE(answerer.texts(), QStringList{"Database Connection Successful"});
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(endings, 0);
}

void TestLogin::failureNamesTheCause_data() {
    QTest::addColumn<bool>("atStartup");
    QTest::addColumn<bool>("serverStopped");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    const QString user = TestDatabase::user();
    for (const bool atStartup : {true, false}) {
        const char* where = atStartup ? "start-up, " : "dialog, ";
        QTest::newRow(QByteArray(where) + "wrong password")
            << atStartup << false << "password authentication failed" << user << "not-the-password";
        QTest::newRow(QByteArray(where) + "server stopped")
            << atStartup << true << "Connection refused" << user << TestDatabase::password();
    }
    // Passwords that are words of the server's own message: the message is shown as the server
    // wrote it.
    QTest::newRow("dialog, password that is a word of the message")
        << false << false << "password authentication failed for user \"" + user + "\"" << user
        << "password";
    QTest::newRow("dialog, password inside the user name")
        << false << false << "for user \"" + user + "\"" << user << user.mid(1, 3);
    // The server repeats the user name: markup in it is shown as typed.
    QTest::newRow("dialog, markup in the user name")
        << false << false << "<h1>big</h1><a href=\"https://x\">y</a>"
        << "<h1>big</h1><a href=\"https://x\">y</a>"
        << "not-the-password";
}

void TestLogin::failureNamesTheCause() {
    QFETCH(bool, atStartup);
    QFETCH(bool, serverStopped);
    QFETCH(QString, cause);
    QFETCH(QString, user);
    QFETCH(QString, password);
    MessageBoxAnswerer answerer;
    if (serverStopped)
        QVERIFY(TestDatabase::stopServer());
    if (atStartup) {
        TestDatabase::storeCredentials(user, password);
        Form1 window;
        window.Form_Load();
        QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    } else {
        Form1 owner;
        login dialog(&owner);
        dialog.show();
        QTimer::singleShot(3000, &dialog, &QWidget::close);
        typeAndConnect(&dialog, user, password);
    }
    if (serverStopped)
        QVERIFY(TestDatabase::startServer());
    QCOMPARE(answerer.texts().value(0), "Linetally failed to connect to your 3CX database.");
    const QString reason = answerer.informativeTexts().value(0);
    QVERIFY2(reason.contains(cause), qPrintable(reason));
    if (password.size() > 8) // short ones are words of any message; the server never says them
        QVERIFY2(!reason.contains(password), qPrintable(reason));
    QVERIFY(answerer.allPlainText());
}

void TestLogin::lineBreakIsRefused_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("LF in the password") << TestDatabase::user() << "pw\nDBUSER=postgres";
    QTest::newRow("CR in the user name") << "x\rDBPASS=y" << TestDatabase::password();
}

void TestLogin::lineBreakIsRefused() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD " +
                               "E'pw\\nDBUSER=postgres'"));
    Form1 owner;
    login dialog(&owner);
    MessageBoxAnswerer answerer;
    dialog.show();
    // Pasted text may hold line breaks that typing cannot.
    dialog.Text1[0]->setText(user);
    dialog.Text1[1]->setText(password);
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD '" +
                               TestDatabase::password() + "'"));
    QCOMPARE(answerer.texts().size(), 1);
    QVERIFY2(answerer.texts().first().contains("line breaks"),
             qPrintable(answerer.texts().first()));
    QVERIFY(dialog.isVisible());
    QCOMPARE(config::GetConfig("dbuser"), QString());
    QCOMPARE(readSettings(), QByteArray("<missing>"));
}

void TestLogin::firstStartWithCorrectCredentials() {
    MessageBoxAnswerer answerer;
    bool dialogBeforeMainWindow = false;
    Form1 window;
    WhenModalOpens("login", [&](QWidget* dialog) {
        dialogBeforeMainWindow = !window.isVisible();
        typeAndConnect(dialog, TestDatabase::user(), TestDatabase::password());
    });
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    QVERIFY(dialogBeforeMainWindow);
    QCOMPARE(answerer.texts(), QStringList{"Database Connection Successful"});
    QCOMPARE(readSettings(), "DBUSER=" + TestDatabase::user().toUtf8() +
                                 "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    QCOMPARE(window.Combo3->count(), 2);
}

void TestLogin::failedTestThenCloseBox() {
    MessageBoxAnswerer answerer;
    Form1 window;
    WhenModalOpens("login", [&](QWidget* dialog) {
        typeAndConnect(dialog, TestDatabase::user(), "wrong");
        QPointer<QWidget> open(dialog);
        // Once the failure's box has been answered and the dialog is on top again.
        WhenTrue(
            [&answerer, open] {
                return !answerer.texts().isEmpty() && QApplication::activeModalWidget() == open;
            },
            [open] {
                QVERIFY(open && open->isVisible()); // it stays open after a failed test
                open->close();                      // the close box
            });
    });
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    const QString failed = "Linetally failed to connect to your 3CX database.";
    QCOMPARE(answerer.texts(), (QStringList{failed, failed}));
    QCOMPARE(window.Combo3->count(), 0);
    QCOMPARE(readSettings(), "DBUSER=" + TestDatabase::user().toUtf8() + "\r\nDBPASS=wrong\r\n");
    QCOMPARE(endings, 0);
}

void TestLogin::userNameWithTrailingBlank() {
    QVERIFY(TestDatabase::exec("DROP ROLE IF EXISTS \"blank \""));
    QVERIFY(TestDatabase::exec("CREATE ROLE \"blank \" LOGIN PASSWORD 'pw'"));
    QVERIFY(TestDatabase::exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO \"blank \""));
    MessageBoxAnswerer answerer;
    Form1 window;
    WhenModalOpens("login", [&](QWidget* dialog) { typeAndConnect(dialog, "blank ", "pw"); });
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    QCOMPARE(answerer.texts(), QStringList{"Database Connection Successful"});
    QCOMPARE(config::GetConfig("dbuser"), QStringLiteral("blank "));
    QCOMPARE(readSettings(), QByteArray("DBUSER=blank \r\nDBPASS=pw\r\n"));
}

void TestLogin::passwordWithSeparatorsLogsIn() {
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD 'p;w}x{'"));
    MessageBoxAnswerer answerer;
    Form1 window;
    WhenModalOpens(
        "login", [&](QWidget* dialog) { typeAndConnect(dialog, TestDatabase::user(), "p;w}x{"); });
    window.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(!window.databaseBusy(), 30000);
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD '" +
                               TestDatabase::password() + "'"));
    QCOMPARE(answerer.texts(), QStringList{"Database Connection Successful"});
    QCOMPARE(window.Combo3->count(), 2);
}

void TestLogin::menuOpensEmptyDialog() {
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    Form1 window;
    window.show();
    bool emptyBoxes = false;
    WhenModalOpens("login", [&](QWidget* widget) {
        auto* dialog = qobject_cast<login*>(widget);
        emptyBoxes = dialog->Text1[0]->text().isEmpty() && dialog->Text1[1]->text().isEmpty();
        QCOMPARE(dialog->parentWidget(), &window);
        dialog->close();
    });
    window.mnuSettingsDbUP->trigger();
    QVERIFY(emptyBoxes);
    QCOMPARE(config::GetConfig("dbuser"), TestDatabase::user());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
