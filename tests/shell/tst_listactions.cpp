#include "about.h"
#include "calllistview.h"
#include "calltexts.h"
#include "chartwidget.h"
#include "diagnostics.h"
#include "dialogs.h"
#include "endprogram.h"
#include "shellfixture.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace ShellFixture;

// Catches the addresses the program opens in the web browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestListActions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rightClickOffersLookups();
    void keyboardOpensPopup_data();
    void keyboardOpensPopup();
    void choosingLookupOpensSearch();
    void lookupKeepsThePlus_data();
    void lookupKeepsThePlus();
    void leftPressOnlyUpdatesCaptions();
    void pressOnEmptyListDoesNothing();
    void noSelectionNoPopup();
    void sortedListIsStillCharted();

    void aboutShowsDriver_data();
    void aboutShowsDriver();
    void aboutIsSingle();

    void oleDbSelfTest_data();
    void oleDbSelfTest();
    void odbcSelfTestChangesNothing();
    void heldEnterRunsSelfTestOnce_data();
    void heldEnterRunsSelfTestOnce();

private:
    QPoint rowCentre(int row) const;
    // Opens the pop-up with a right press on the row and hands it to the check.
    void rightClickRow(int row, std::function<void(QMenu*)> check);
    QTemporaryDir dir;
    std::unique_ptr<Form1> window;
    UrlCatcher urls;
};

void TestListActions::initTestCase() {
    REQUIRE_TEST_DATABASE();
    SetEndProgramHandlerForTesting([] { QFAIL("the program ended"); });
    config::SetConfigFilePath(dir.filePath("local.cfg"));
    QDesktopServices::setUrlHandler("https", &urls, "open");
}

void TestListActions::init() {
    urls.opened.clear();
    QVERIFY(seedCalls());
    window = std::make_unique<Form1>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->listItems->appendRows(
        CallsFromTexts({CallRow{"101", "5551234567", "2024-03-01 09:00:00", "00:05:30"},
                        CallRow{"15551234567", "101", "2024-03-01 09:10:00", "00:00:30"}}));
}

void TestListActions::cleanup() {
    window.reset();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<ABOUT*>(widget))
            delete widget;
    }
}

QPoint TestListActions::rowCentre(int row) const {
    return window->ListView1->visualRect(window->ListView1->model()->index(row, 0)).center();
}

void TestListActions::rightClickRow(int row, std::function<void(QMenu*)> check) {
    bool opened = false;
    WhenTrue([] { return QApplication::activePopupWidget() != nullptr; },
             [&] {
                 auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                 opened = popup == window->mnuHidden;
                 check(popup);
                 if (popup && popup->isVisible())
                     popup->close();
             });
    QTest::mouseClick(window->ListView1->viewport(), Qt::RightButton, {}, rowCentre(row));
    QTRY_VERIFY(opened);
}

void TestListActions::keyboardOpensPopup_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
}

// The pop-up of the selected row, from the keyboard, with the captions a press would set.
void TestListActions::keyboardOpensPopup() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    window->ListView1->setFocus();
    window->ListView1->selectRow(1);
    QStringList captions;
    WhenTrue([] { return QApplication::activePopupWidget() != nullptr; },
             [&] {
                 auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                 if (popup == window->mnuHidden)
                     captions << window->mnuHiddenMIFrom->text() << window->mnuHiddenMITo->text();
                 QApplication::activePopupWidget()->close();
             });
    QTest::keyClick(window->ListView1, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_COMPARE(captions, (QStringList{"Google : 15551234567", "Google : 101"}));
    QVERIFY(window->mnuHiddenMIFrom->isEnabled());
    QVERIFY(!window->mnuHiddenMITo->isEnabled());
}

void TestListActions::rightClickOffersLookups() {
    QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, rowCentre(0));
    rightClickRow(0, [this](QMenu* popup) {
        QVERIFY(popup);
        const QList<QAction*> entries = popup->actions();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0]->text(), QStringLiteral("Create PDF On Search Results"));
        QVERIFY(!entries[0]->isEnabled());
        QCOMPARE(entries[1]->text(), QStringLiteral("Google : 101"));
        QVERIFY(!entries[1]->isEnabled());
        QCOMPARE(entries[2]->text(), QStringLiteral("Google : 5551234567"));
        QVERIFY(entries[2]->isEnabled());
    });
    QVERIFY(urls.opened.isEmpty());
}

void TestListActions::choosingLookupOpensSearch() {
    QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, rowCentre(0));
    rightClickRow(0, [this](QMenu* popup) {
        QVERIFY(popup);
        QTest::mouseClick(popup, Qt::LeftButton, {},
                          popup->actionGeometry(window->mnuHiddenMITo).center());
    });
    QTRY_COMPARE(urls.opened.size(), 1);
    QCOMPARE(
        urls.opened.first().toString(QUrl::FullyEncoded),
        QStringLiteral("https://www.google.com/search?hl=en&q=555-123-4567&btnG=Google+Search"));
    // Eleven digits: searched whole, nothing dropped.
    rightClickRow(1, [this](QMenu* popup) {
        QVERIFY(popup);
        QTest::mouseClick(popup, Qt::LeftButton, {},
                          popup->actionGeometry(window->mnuHiddenMIFrom).center());
    });
    QTRY_COMPARE(urls.opened.size(), 2);
    QCOMPARE(
        urls.opened.last().toString(QUrl::FullyEncoded),
        QStringLiteral("https://www.google.com/search?hl=en&q=15551234567&btnG=Google+Search"));
}

void TestListActions::lookupKeepsThePlus_data() {
    QTest::addColumn<QString>("lookupUrl");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("opened");
    QTest::newRow("Google") << ""
                            << "Google : +441632960777"
                            << "https://www.google.com/search?hl=en&q=%2B441632960777"
                               "&btnG=Google+Search";
    QTest::newRow("own directory")
        << "https://directory.example.net/find?n=%s&lang=en"
        << "Look up : +441632960777"
        << "https://directory.example.net/find?n=%2B441632960777&lang=en";
}

// An international number reaches the site with its "+", which a bare "+" in a query would lose.
void TestListActions::lookupKeepsThePlus() {
    QFETCH(QString, lookupUrl);
    QFETCH(QString, caption);
    QFETCH(QString, opened);
    config::SetConfig(QString::fromLatin1(config::kLookupUrlName), lookupUrl);
    window->listItems->appendRows(
        CallsFromTexts({CallRow{"+441632960777", "101", "2024-03-01 09:20:00", "00:01:00"}}));
    rightClickRow(2, [this, caption](QMenu* popup) {
        QVERIFY(popup);
        QCOMPARE(window->mnuHiddenMIFrom->text(), caption);
        QTest::mouseClick(popup, Qt::LeftButton, {},
                          popup->actionGeometry(window->mnuHiddenMIFrom).center());
    });
    config::SetConfig(QString::fromLatin1(config::kLookupUrlName), QString());
    QTRY_COMPARE(urls.opened.size(), 1);
    QCOMPARE(urls.opened.first().toString(QUrl::FullyEncoded), opened);
}

void TestListActions::leftPressOnlyUpdatesCaptions() {
    QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, rowCentre(1));
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(window->mnuHiddenMIFrom->text(), QStringLiteral("Google : 15551234567"));
    QCOMPARE(window->mnuHiddenMITo->text(), QStringLiteral("Google : 101"));
    QVERIFY(window->mnuHiddenMIFrom->isEnabled());
    QVERIFY(!window->mnuHiddenMITo->isEnabled());
    QVERIFY(urls.opened.isEmpty());
}

void TestListActions::pressOnEmptyListDoesNothing() {
    window->listItems->clear();
    QTest::mouseClick(window->ListView1->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(window->mnuHiddenMIFrom->text(), QStringLiteral("More Info"));
}

void TestListActions::noSelectionNoPopup() {
    window->ListView1->clearSelection();
    QTest::mouseClick(window->ListView1->viewport(), Qt::RightButton, {}, QPoint(20, 300));
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(window->mnuHiddenMIFrom->text(), QStringLiteral("More Info"));
}

void TestListActions::sortedListIsStillCharted() {
    window->listItems->appendRows(
        CallsFromTexts({CallRow{"9", "102", "2024-03-01 00:00:00", "1:00:00"}}));
    QHeaderView* header = window->ListView1->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
    QCOMPARE(window->ListView1->model()->index(0, 2).data().toString(), QStringLiteral("3/1/2024"));
    // The chart reads every row, whatever order the list shows them in.
    window->RefreshGraph();
    QVERIFY(window->chart->cells().to.test(0));
    QVERIFY(window->chart->cells().to.test(540));
}

void TestListActions::aboutShowsDriver_data() {
    QTest::addColumn<QString>("driver");
    QTest::newRow("none yet") << "";
    QTest::newRow("Unicode") << dbRoutines::kUnicodeDriver;
    QTest::newRow("plain") << dbRoutines::kPlainDriver;
    QTest::newRow("ANSI") << dbRoutines::kAnsiDriver;
}

void TestListActions::aboutShowsDriver() {
    QFETCH(QString, driver);
    dbRoutines::DbDriver = driver;
    window->mnuHelpAbout->trigger();
    ABOUT* about = window->aboutWindow();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->Label6->text(), "Driver : " + driver);
    QCOMPARE(about->Label3->text(), QStringLiteral("v1.1.1"));
    QCOMPARE(about->Label1->text(), QStringLiteral("Linetally"));
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    QVERIFY(!about->isModal());
    QCOMPARE(about->size(), QSize(365, 240));
    about->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), about->Command1);
    QTest::keyClick(about->Command1, Qt::Key_Return);
    QTRY_VERIFY(!window->aboutWindow());
}

void TestListActions::aboutIsSingle() {
    window->mnuHelpAbout->trigger();
    ABOUT* first = window->aboutWindow();
    dbRoutines::DbDriver = dbRoutines::kAnsiDriver;
    window->mnuHelpAbout->trigger();
    QCOMPARE(window->aboutWindow(), first);
    int abouts = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        abouts += qobject_cast<ABOUT*>(widget) && widget->isVisible();
    QCOMPARE(abouts, 1);
}

void TestListActions::oleDbSelfTest_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("reachable, other credentials stored") << ""
                                                         << "Connected";
    QTest::newRow("server down") << "down"
                                 << "Failed";
    QTest::newRow("calldetails missing") << "drop"
                                         << "Failed";
}

void TestListActions::oleDbSelfTest() {
    QFETCH(QString, fault);
    QFETCH(QString, message);
    TestDatabase::storeCredentials("someone-else", "other");
    if (fault == "drop")
        QVERIFY(TestDatabase::exec("DROP TABLE public.calldetails"));
    if (fault == "down")
        QVERIFY(TestDatabase::stopServer());
    MessageBoxAnswerer answerer;
    window->Command3->setFocus();
    QTest::keyClick(window->Command3, Qt::Key_Return);
    if (fault == "down")
        QVERIFY(TestDatabase::startServer());
    QCOMPARE(answerer.texts(), QStringList{message});
    QCOMPARE(config::GetConfig("dbuser"), QStringLiteral("someone-else"));
}

void TestListActions::odbcSelfTestChangesNothing() {
    window->Command1->setFocus();
    QCOMPARE(Diagnostics::OdbcSelfTestConnectionString(),
             QStringLiteral("Driver={PostgreSQL ANSI}; Server=127.0.0.1; PORT=5480; "
                            "Database=phonesystem; UID=admin; PWD=tovrim3"));
    QCOMPARE(Diagnostics::OleDbSelfTestConnectionString(),
             QStringLiteral("Provider=PostgreSQL OLE DB Provider; Data Source=127.0.0.1; "
                            "PORT=5480; Location=phonesystem; User ID=admin; Password=tovrim3;"));
    QVERIFY(Diagnostics::RunOdbcSelfTest());
    MessageBoxAnswerer answerer;
    window->RefreshGraph();
    const QImage before = window->grab().toImage();
    dbRoutines::DbDriver = "before";
    QTest::keyClick(window->Command1, Qt::Key_Return);
    QTest::keyClick(window->Command1, Qt::Key_Space);
    QCOMPARE(window->grab().toImage(), before);
    QCOMPARE(answerer.texts(), QStringList());
    QCOMPARE(dbRoutines::DbDriver, QStringLiteral("before"));
    QCOMPARE(window->listItems->count(), 2);
}

namespace {
int selfTestRuns = 0;
QtMessageHandler previousHandler = nullptr;
void countSelfTests(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (qstrcmp(context.category, "linetally.selftest") == 0 &&
        message.contains("Trying to connect..."))
        ++selfTestRuns;
    else if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void TestListActions::heldEnterRunsSelfTestOnce_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Command1 (ODBC)") << "Command1";
    QTest::newRow("Command3 (native)") << "Command3";
}

// A held key sends one press and then a stream of repeats; only the press counts.
void TestListActions::heldEnterRunsSelfTestOnce() {
    QFETCH(QString, button);
    QPushButton* target = button == "Command1" ? window->Command1 : window->Command3;
    MessageBoxAnswerer answerer;
    QLoggingCategory::setFilterRules("linetally.selftest.debug=true");
    selfTestRuns = 0;
    previousHandler = qInstallMessageHandler(countSelfTests);
    window->activateWindow();
    target->setFocus();
    for (int i = 0; i < 30; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString("\r"), i > 0);
        QApplication::sendEvent(target, &press);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
    QCoreApplication::processEvents();
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::setFilterRules("linetally.selftest.debug=false");
    if (button == "Command1")
        QCOMPARE(selfTestRuns, 1);
    else
        QCOMPARE(answerer.texts(), QStringList{"Connected"});
}

QTEST_MAIN(TestListActions)
#include "tst_listactions.moc"
