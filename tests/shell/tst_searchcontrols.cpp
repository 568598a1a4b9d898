#include "calllistmodel.h"
#include "calllistview.h"
#include "calltexts.h"
#include "chartwidget.h"
#include "dbroutines.h"
#include "dialogs.h"
#include "endprogram.h"
#include "form1.h"
#include "shellfixture.h"
#include "statustext.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace ShellFixture;

// The operator clicks into the box, then types.
static void typeInto(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClicks(box, text);
}

class TestSearchControls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { window.reset(); }

    void pickOrder_data();
    void pickOrder();
    void incompleteChoicesDoNothing();
    void runningSearchIsNotRestarted();
    void anotherDateSearchesAtOnce();
    void typingGreysOutExtensions();
    void singleBlankCounts();
    void enterRefreshesListOnly();
    void clearingBringsExtensionBack();
    void enterInEmptyBoxDoesNothing();
    void serverStoppedBeforeSearch();
    void serverBackWithoutRestart();
    void newSearchListsByStartTime();
    void talkTimeCountsEveryDuration();
    void outOfMemoryIsASearchFailure();
    void closingCancelsAWaitingSearch_data();
    void closingCancelsAWaitingSearch();
    void statusSaysWhatTheSearchGave_data();
    void statusSaysWhatTheSearchGave();

private:
    QTemporaryDir dir;
    std::unique_ptr<Form1> window;
    std::unique_ptr<MessageBoxAnswerer> answerer;
};

void TestSearchControls::initTestCase() {
    REQUIRE_TEST_DATABASE();
    SetEndProgramHandlerForTesting([] { QFAIL("the program ended"); });
    config::SetConfigFilePath(dir.filePath("local.cfg"));
}

void TestSearchControls::init() {
    QVERIFY(seedCalls());
    answerer = std::make_unique<MessageBoxAnswerer>();
    window = std::make_unique<Form1>();
    loadWindow(*window);
    QCOMPARE(answerer->texts(), QStringList());
}

void TestSearchControls::pickOrder_data() {
    QTest::addColumn<QStringList>("order");
    QTest::newRow("date, direction, extension") << QStringList{"date", "direction", "extension"};
    QTest::newRow("extension, direction, date") << QStringList{"extension", "direction", "date"};
    QTest::newRow("direction, extension, date") << QStringList{"direction", "extension", "date"};
}

void TestSearchControls::pickOrder() {
    QFETCH(QStringList, order);
    const QString day = window->Combo2->itemText(0);
    for (int i = 0; i < order.size(); ++i) {
        if (order[i] == "date")
            pick(window->Combo2, day);
        else if (order[i] == "direction")
            pick(window->Combo1, "From");
        else
            pick(window->Combo3, "101");
        const bool complete = i == order.size() - 1;
        QCOMPARE(window->listItems->count(), complete ? 3 : 0);
        QCOMPARE(window->statusPanel1->text(), QString());
    }
    QCOMPARE(callFroms(*window), (QStringList{"101", "101", "101"}));
    // The pick also redrew the chart: 9:00 for 5.5 minutes is on the from-track.
    QVERIFY(window->chart->cells().from.test(540));
}

void TestSearchControls::incompleteChoicesDoNothing() {
    window->listItems->appendRows(CallsFromTexts({CallRow{"kept", "row", "", ""}}));
    pick(window->Combo1, "Both");
    QCOMPARE(window->listItems->count(), 1);
    QCOMPARE(window->statusPanel1->text(), QString());
    pick(window->Combo2, window->Combo2->itemText(0));
    QCOMPARE(window->listItems->count(), 1); // no extension and no number yet
    QCOMPARE(window->statusPanel1->text(), QString());
}

// Counts the paint events a widget receives through the event loop.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};

// Statements that wait for the locked call table in the server's list of sessions.
static int waitingSearches() {
    return TestDatabase::scalar("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = "
                                "'Lock' AND query LIKE '%callhistory2%'")
        .toInt();
}

// While a search waits for a locked table the window goes on: it shows "Searching", takes typed
// digits and draws, and another pick or press of Search starts nothing.
void TestSearchControls::runningSearchIsNotRestarted() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());
    pick(window->Combo3, "101", false);
    QCOMPARE(window->statusPanel1->text(), QStringLiteral("Searching"));
    QTRY_COMPARE_WITH_TIMEOUT(waitingSearches(), 1, 10000);
    PaintCounter paints(window->Text1);
    typeInto(window->Text1, "4711");
    QCOMPARE(window->Text1->text(), QStringLiteral("4711"));
    QVERIFY(!window->Combo3->isEnabled());
    QTRY_VERIFY(paints.count > 0);
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    QTest::keyClick(window->Text1, Qt::Key_Return);
    pick(window->Combo1, "From", false);
    QCOMPARE(waitingSearches(), 1);
    QVERIFY(window->databaseBusy());
    lock.release();
    settle(*window);
    // The one search that ran read the extension chosen when it started.
    QCOMPARE(window->statusPanel1->text(), QString());
    QCOMPARE(window->listItems->count(), 5);
    // The press of Search made meanwhile drew the chart once the rows were there, for the
    // number typed: its call at 10:58.
    QVERIFY(window->chart->cells().from.test(658));
}

void TestSearchControls::anotherDateSearchesAtOnce() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    QCOMPARE(window->listItems->count(), 5);
    pick(window->Combo2, window->Combo2->itemText(1));
    QCOMPARE(callFroms(*window), QStringList{"101"});
}

void TestSearchControls::typingGreysOutExtensions() {
    QTest::mouseClick(window->Text1, Qt::LeftButton);
    QTest::keyClick(window->Text1, Qt::Key_4);
    QVERIFY(!window->Combo3->isEnabled());
    typeInto(window->Text1, "711");
    QVERIFY(!window->Combo3->isEnabled());
    QCOMPARE(window->listItems->count(), 0);
}

void TestSearchControls::singleBlankCounts() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    QTest::mouseClick(window->Text1, Qt::LeftButton);
    QTest::keyClick(window->Text1, Qt::Key_Space);
    QVERIFY(!window->Combo3->isEnabled());
    QTest::keyClick(window->Text1, Qt::Key_Return);
    settle(*window);
    // The blank is the search number, and no call has it.
    QCOMPARE(window->listItems->count(), 0);
    QCOMPARE(window->statusPanel1->text(), QString());
}

void TestSearchControls::enterRefreshesListOnly() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "From");
    pick(window->Combo3, "101");
    const MinuteCells before = window->chart->cells();
    typeInto(window->Text1, "4711");
    QTest::keyClick(window->Text1, Qt::Key_Return);
    settle(*window);
    QCOMPARE(callFroms(*window), QStringList{"4711"});
    QCOMPARE(window->Text1->text(), QStringLiteral("4711"));
    QVERIFY(window->chart->cells() == before);
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    QVERIFY(!(window->chart->cells() == before));
    QVERIFY(window->chart->cells().from.test(658)); // 10:58, the reference number's own call
}

void TestSearchControls::clearingBringsExtensionBack() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "To");
    pick(window->Combo3, "101");
    typeInto(window->Text1, "47");
    QTest::keyClick(window->Text1, Qt::Key_Backspace);
    QVERIFY(!window->Combo3->isEnabled());
    QTest::keyClick(window->Text1, Qt::Key_Backspace);
    QVERIFY(window->Combo3->isEnabled());
    QCOMPARE(window->Combo3->currentText(), QStringLiteral("101"));
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    QCOMPARE(callFroms(*window), (QStringList{"4711", "5550001111"}));
}

void TestSearchControls::enterInEmptyBoxDoesNothing() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "To");
    window->listItems->appendRows(CallsFromTexts({CallRow{"kept", "row", "", ""}}));
    QTest::keyClick(window->Text1, Qt::Key_Return);
    settle(*window);
    QCOMPARE(window->listItems->count(), 1);
}

void TestSearchControls::serverStoppedBeforeSearch() {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    QCOMPARE(window->listItems->count(), 5);
    QVERIFY(TestDatabase::stopServer());
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    const int listed = window->listItems->count();
    QVERIFY(TestDatabase::startServer());
    QCOMPARE(listed, 0);
    QCOMPARE(window->statusPanel1->text(), QString());
    QCOMPARE(answerer->texts(), QStringList());
    // The next search connects anew.
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    QCOMPARE(window->listItems->count(), 5);
}

// The database was down at start-up: no driver was found. Once it is back, the next search
// finds the driver itself, lists the calls and fills the extension list.
void TestSearchControls::serverBackWithoutRestart() {
    window.reset();
    dbRoutines::DbDriver.clear();
    QVERIFY(TestDatabase::stopServer());
    window = std::make_unique<Form1>();
    loadWindow(*window);
    QCOMPARE(answerer->texts(), QStringList{"Linetally failed to connect to your 3CX database."});
    QCOMPARE(window->Combo3->count(), 0);
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    typeInto(window->Text1, "101");
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    const QString whileDown = window->statusSummary->fullText();
    QVERIFY(TestDatabase::startServer());
    QVERIFY2(whileDown.startsWith("Search failed: ") && whileDown.contains("Connection refused"),
             qPrintable(whileDown));
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    QCOMPARE(window->listItems->count(), 5);
    QCOMPARE(window->Combo3->count(), 3);
    QCOMPARE(window->Combo3->currentIndex(), -1);
    QCOMPARE(dbRoutines::DbDriver, dbRoutines::kUnicodeDriver);
}

// The server gives the rows in no order: a new search shows them oldest first, until a header
// is clicked; then that column's order holds for the next search too.
void TestSearchControls::newSearchListsByStartTime() {
    const auto shownColumn = [this](int column) {
        QStringList texts;
        const QAbstractItemModel* shown = window->ListView1->model();
        for (int row = 0; row < shown->rowCount(); ++row)
            texts << shown->index(row, column).data().toString();
        return texts;
    };
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    const QString day = window->Combo2->itemText(0);
    QCOMPARE(shownColumn(2), (QStringList{day, day + " 9:00:00 AM", day + " 10:58:00 AM",
                                          day + " 3:15:42 PM", day + " 11:58:30 PM"}));
    QHeaderView* header = window->ListView1->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    QTest::mouseClick(window->Command2, Qt::LeftButton);
    settle(*window);
    QCOMPARE(shownColumn(0), (QStringList{"101", "101", "101", "4711", "5550001111"}));
}

// A duration with a day part counts its 24 hours; a negative one counts as nothing; one that is
// no duration is left out, and the status says so.
void TestSearchControls::talkTimeCountsEveryDuration() {
    QVERIFY(TestDatabase::insertCall("101", "200", "1 day 02:00:00", today() + " 08:00:00"));
    QVERIFY(TestDatabase::insertCall("101", "201", "-00:05:00", today() + " 08:10:00"));
    QVERIFY(TestDatabase::insertCall("101", "202", QString(), today() + " 08:20:00"));
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    QCOMPARE(window->statusSummary->fullText(),
             QStringLiteral("8 calls, 26:18:30 talk time, 1 duration unreadable"));
}

// Memory runs out while the rows are listed: the search fails with that reason and the window
// goes on.
void TestSearchControls::outOfMemoryIsASearchFailure() {
    window.reset();
    MainWindowOptions options;
    options.rowsBeforeOutOfMemory = 2; // 101 has five calls, 102 two
    window = std::make_unique<Form1>(options);
    loadWindow(*window);
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    QCOMPARE(window->statusSummary->fullText(), QStringLiteral("Search failed: Out of memory"));
    QCOMPARE(window->listItems->count(), 0);
    QCOMPARE(window->statusPanel1->text(), QString());
    pick(window->Combo3, "102");
    QCOMPARE(window->listItems->count(), 2);
    QCOMPARE(window->statusSummary->fullText().left(8), QStringLiteral("2 calls,"));
}

// Closing the window while a search waits for a locked table cancels the statement on the
// server and ends the program at once.
void TestSearchControls::closingCancelsAWaitingSearch_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("File > Exit") << false;
    QTest::newRow("close box") << true;
}

void TestSearchControls::closingCancelsAWaitingSearch() {
    QFETCH(bool, closeBox);
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());
    pick(window->Combo3, "101", false);
    QTRY_COMPARE_WITH_TIMEOUT(waitingSearches(), 1, 10000);
    // When the program ends, the server must have let go of the statement already.
    bool ended = false;
    int waitingAtEnd = -1;
    SetEndProgramHandlerForTesting([&] {
        ended = true;
        waitingAtEnd = waitingSearches();
    });
    if (closeBox)
        window->close();
    else
        window->mnuFileExit->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(ended, 2000);
    SetEndProgramHandlerForTesting([] { QFAIL("the program ended"); });
    QCOMPARE(waitingAtEnd, 0);
    QVERIFY(lock.held());
}

void TestSearchControls::statusSaysWhatTheSearchGave_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("serverStopped");
    QTest::addColumn<QString>("summary"); // a failure's reason is checked in part
    // 5:30 + 1:00 + 2:00 + 5:00 + 5:00 for extension 101 today.
    QTest::newRow("known rows") << 0 << false << "5 calls, 0:18:30 talk time";
    QTest::newRow("one call") << 1 << false << "1 call, 0:01:00 talk time";
    QTest::newRow("empty day") << 2 << false << "No calls";
    QTest::newRow("server stopped") << 0 << true << "Search failed: ";
}

void TestSearchControls::statusSaysWhatTheSearchGave() {
    QFETCH(int, day);
    QFETCH(bool, serverStopped);
    QFETCH(QString, summary);
    pick(window->Combo1, "Both");
    pick(window->Combo3, "101");
    window->statusSummary->setFullText("from before");
    const QRect panelBefore = window->statusPanel1->geometry();
    // The list is emptied once the search has started: the old summary must be gone by then.
    QString whileSearching = "<not seen>";
    const auto watch = connect(window->listItems, &QAbstractItemModel::modelReset, this,
                               [&] { whileSearching = window->statusSummary->fullText(); });
    window->listItems->appendRows(CallsFromTexts({CallRow{"kept", "row", "", ""}}));
    if (serverStopped)
        QVERIFY(TestDatabase::stopServer());
    pick(window->Combo2, window->Combo2->itemText(day));
    if (serverStopped)
        QVERIFY(TestDatabase::startServer());
    disconnect(watch);
    QCOMPARE(whileSearching, QString());
    QCOMPARE(window->statusPanel1->text(), QString());
    const QString shown = window->statusSummary->fullText();
    if (serverStopped) {
        QVERIFY2(shown.startsWith(summary) && shown.contains("Connection refused"),
                 qPrintable(shown));
        QVERIFY2(!shown.contains(TestDatabase::password()), qPrintable(shown));
    } else {
        QCOMPARE(shown, summary);
        QCOMPARE(window->statusSummary->text(), summary); // it fits: nothing left out
    }
    // Panel 1 kept its place; the summary is to its right.
    QCOMPARE(window->statusPanel1->geometry(), panelBefore);
    QVERIFY(window->statusSummary->geometry().left() > window->statusPanel1->geometry().right());
}

QTEST_MAIN(TestSearchControls)
#include "tst_searchcontrols.moc"
