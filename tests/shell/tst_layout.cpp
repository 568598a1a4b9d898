#include "about.h"
#include "calllistmodel.h"
#include "calllistview.h"
#include "calltexts.h"
#include "chartwidget.h"
#include "designedwindow.h"
#include "form1.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QtTest>

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void init() {
        window = std::make_unique<Form1>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void controls_data();
    void controls();
    void windowIsFixed();
    void listColumns();
    void combo1Entries();
    void tabOrder_data();
    void tabOrder();
    void menus();
    void statusBarSpansClient();
    void command6Toggles();
    void command6FromOddWidth();
    void wideWindowStaysOnScreen();
    void centringKeepsTitleBarOnScreen_data();
    void centringKeepsTitleBarOnScreen();
    void designFontFits_data();
    void designFontFits();

private:
    std::unique_ptr<Form1> window;
};

void TestLayout::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Combo2") << "Combo2"
                            << "" << QRect(120, 120, 1455, 330);
    QTest::newRow("Combo1") << "Combo1"
                            << "" << QRect(1680, 120, 1335, 330);
    QTest::newRow("Combo3") << "Combo3"
                            << "" << QRect(3120, 120, 975, 330);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(4200, 120, 1575, 330);
    QTest::newRow("Command2") << "Command2"
                              << "Search" << QRect(5880, 120, 855, 330);
    QTest::newRow("Command6") << "Command6"
                              << "Show Chart" << QRect(6840, 120, 1335, 330);
    QTest::newRow("ListView1") << "ListView1"
                               << "" << QRect(120, 480, 8055, 7455);
    QTest::newRow("StatusBar1") << "StatusBar1"
                                << "" << QRect(0, 8040, 8310, 375);
    QTest::newRow("Command1") << "Command1"
                              << "Command1" << QRect(2040, 8880, 2775, 495);
    QTest::newRow("Command3") << "Command3"
                              << "Command3" << QRect(120, 8880, 1695, 375);
    QTest::newRow("Command4") << "Command4"
                              << "Chart" << QRect(4920, 8880, 1095, 330);
    QTest::newRow("Command5") << "Command5"
                              << "Command5" << QRect(6120, 8880, 1095, 255);
    QTest::newRow("Label2") << "Label2"
                            << "Label2" << QRect(5040, 9360, 2055, 255);
}

static QWidget* control(Form1& w, const QString& name) {
    const QHash<QString, QWidget*> byName{
        {"Combo1", w.Combo1},     {"Combo2", w.Combo2},       {"Combo3", w.Combo3},
        {"Text1", w.Text1},       {"Command1", w.Command1},   {"Command2", w.Command2},
        {"Command3", w.Command3}, {"Command4", w.Command4},   {"Command5", w.Command5},
        {"Command6", w.Command6}, {"ListView1", w.ListView1}, {"StatusBar1", w.StatusBar1},
        {"Label2", w.Label2}};
    return byName.value(name);
}

void TestLayout::controls() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QWidget* widget = control(*window, name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), window->client());
    const QRect expected(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(widget->geometry(), expected);
    QVERIFY(widget->isEnabled());
    if (auto* button = qobject_cast<QPushButton*>(widget))
        QCOMPARE(button->text(), caption);
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), caption);
    // Controls below the client area are there but out of sight.
    const bool belowClient = twips.y() > 8415;
    QCOMPARE(window->client()->rect().intersects(widget->geometry()), !belowClient);
    const QString family = name == "Command1" ? "MS Sans Serif" : "Arial";
    QCOMPARE(widget->font().family(), family);
    QCOMPARE(widget->font().pointSizeF(), 8.25);
}

void TestLayout::windowIsFixed() {
    QCOMPARE(window->client()->size(), QSize(554, 561));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->windowTitle(), QStringLiteral("Linetally"));
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(window->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->windowIcon().availableSizes().size(), 3);
    QCOMPARE(window->Combo2->toolTip(), QStringLiteral("Search Date"));
    QCOMPARE(window->Combo3->toolTip(), QStringLiteral("Quick-Link Extension"));
    QCOMPARE(window->Text1->toolTip(), QStringLiteral("Alternate Search Number"));
}

void TestLayout::listColumns() {
    QHeaderView* header = window->ListView1->horizontalHeader();
    QCOMPARE(header->count(), 4);
    const QStringList titles{"Call From", "Call To", "Start Time", "Duration"};
    const int widths[] = {96, 96, 133, 96};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(window->ListView1->model()->headerData(i, Qt::Horizontal).toString(), titles[i]);
        QCOMPARE(header->sectionSize(i), widths[i]);
    }
    QVERIFY(header->isVisible());
    QCOMPARE(window->ListView1->model()->rowCount(), 0);
}

void TestLayout::combo1Entries() {
    QCOMPARE(window->Combo1->count(), 3);
    QCOMPARE(window->Combo1->itemText(0), QStringLiteral("To"));
    QCOMPARE(window->Combo1->itemText(1), QStringLiteral("From"));
    QCOMPARE(window->Combo1->itemText(2), QStringLiteral("Both"));
    QCOMPARE(window->Combo1->currentText(), QString());
    QVERIFY(!window->Combo1->isEditable() && !window->Combo2->isEditable() &&
            !window->Combo3->isEditable());
}

void TestLayout::tabOrder_data() {
    QTest::addColumn<bool>("filled");
    QTest::newRow("empty list") << false;
    QTest::newRow("filled list") << true;
}

void TestLayout::tabOrder() {
    QFETCH(bool, filled);
    if (filled) {
        window->listItems->appendRows(
            CallsFromTexts({CallRow{"101", "102", "2024-03-01 09:00:00", "00:01:00"},
                            CallRow{"103", "101", "2024-03-01 09:10:00", "00:01:00"}}));
        window->ListView1->selectRow(0);
    }
    window->activateWindow();
    window->Command1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), window->Command1);
    const QList<QWidget*> expected{window->Combo2,    window->Combo1,   window->Combo3,
                                   window->Text1,     window->Command2, window->Command6,
                                   window->ListView1, window->Command3, window->Command4,
                                   window->Command5,  window->Command1};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), window->Command5);
    // Backwards out of the list, too; the arrows still move inside it.
    window->ListView1->setFocus();
    if (filled) {
        QTest::keyClick(window->ListView1, Qt::Key_Down);
        QCOMPARE(window->ListView1->currentIndex().row(), 1);
    }
    QTest::keyClick(window->ListView1, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), window->Command6);
}

static QStringList visibleEntries(QMenu* menu) {
    QStringList entries;
    for (QAction* action : menu->actions()) {
        if (action->isVisible())
            entries << action->text() + (action->isEnabled() ? "" : " (greyed)");
    }
    return entries;
}

void TestLayout::menus() {
    QStringList bar;
    for (QAction* action : window->menuBar()->actions()) {
        if (action->isVisible())
            bar << action->text();
    }
    QCOMPARE(bar, (QStringList{"&File", "&Settings", "&Help"}));
    QCOMPARE(visibleEntries(window->mnuFile), QStringList{"&Exit"});
    QCOMPARE(visibleEntries(window->mnuSettings), QStringList{"&Db User/Pass"});
    QCOMPARE(visibleEntries(window->mnuHelp), QStringList{"&About"});
    QVERIFY(!window->mnuHelpDebug->isVisible());
    QCOMPARE(visibleEntries(window->mnuHidden),
             (QStringList{"Create PDF On Search Results (greyed)", "More Info", "More Info"}));
    for (QAction* action : window->menuBar()->actions())
        QVERIFY(action->menu() != window->mnuHidden);
    for (QMenu* menu : {window->mnuFile, window->mnuSettings, window->mnuHelp, window->mnuHidden}) {
        for (QAction* action : menu->actions()) {
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(!action->isCheckable());
        }
    }
}

void TestLayout::statusBarSpansClient() {
    QCOMPARE(window->statusPanel1->minimumWidth(), 96);
    window->Command6_Click();
    QCOMPARE(window->client()->width(), 956);
    QCOMPARE(window->StatusBar1->geometry(), QRect(0, 536, 956, 25));
    // Every other control keeps its place.
    QCOMPARE(window->ListView1->geometry(), QRect(8, 32, 537, 497));
    QCOMPARE(window->chart->geometry(), QRect(560, 32, 385, 497));
}

void TestLayout::command6Toggles() {
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    QCOMPARE(window->width(), 956);
    QCOMPARE(window->Command6->text(), QStringLiteral("Hide Chart"));
    const QPoint topLeft = window->pos();
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    QCOMPARE(window->width(), 554);
    QCOMPARE(window->Command6->text(), QStringLiteral("Show Chart"));
    QCOMPARE(window->pos(), topLeft);
    QCOMPARE(window->StatusBar1->width(), 554);
}

// Where growing on the right would leave the screen, the wide window moves left just enough.
void TestLayout::wideWindowStaysOnScreen() {
    const QRect screen = window->screen()->availableGeometry();
    window->move(screen.right() - window->frameGeometry().width() - 10, screen.top() + 10);
    const int top = window->y();
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    QCOMPARE(window->width(), 956);
    QVERIFY(window->x() >= screen.left());
    if (screen.width() >= window->frameGeometry().width())
        QCOMPARE(window->frameGeometry().right(), screen.right());
    else
        QCOMPARE(window->x(), screen.left());
    QCOMPARE(window->y(), top);
}

void TestLayout::centringKeepsTitleBarOnScreen_data() {
    // How much larger than the screen's free area the window is (a large scale factor makes the
    // designed window taller than a small screen).
    QTest::addColumn<QSize>("over");
    QTest::newRow("smaller") << QSize(-200, -100);
    QTest::newRow("taller") << QSize(-200, 137);
    QTest::newRow("wider") << QSize(300, -100);
    QTest::newRow("larger both ways") << QSize(300, 137);
}

void TestLayout::centringKeepsTitleBarOnScreen() {
    QFETCH(QSize, over);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget shown;
    shown.resize(screen.size() + over);
    CentreOnScreen(&shown);
    QCOMPARE(shown.y(), over.height() > 0 ? screen.top()
                                          : screen.top() + (screen.height() - shown.height()) / 2);
    QCOMPARE(shown.x(), over.width() > 0 ? screen.left()
                                         : screen.left() + (screen.width() - shown.width()) / 2);
}

void TestLayout::command6FromOddWidth() {
    window->setFixedWidth(700);
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    QCOMPARE(window->width(), 956);
    QCOMPARE(window->Command6->text(), QStringLiteral("Hide Chart"));
    QCOMPARE(window->StatusBar1->width(), 956);
}

namespace {
// The list's own delegate, opened up to lay out a cell the way it paints it.
class CellLayout : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::initStyleOption;
};
} // namespace

// Arial is met by a font with its metrics (Liberation Sans); with the font the program really
// gets, the widest texts fit where the design puts them, nothing cut short.
void TestLayout::designFontFits_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("text");
    QTest::newRow("longest start time") << "Start Time"
                                        << "2026-12-28 12:59:59";
    QTest::newRow("About notice") << "About Label2"
                                  << "";
    QTest::newRow("About driver") << "About Label6"
                                  << "Driver : Driver={PostgreSQL Unicode};";
}

void TestLayout::designFontFits() {
    QFETCH(QString, where);
    QFETCH(QString, text);
    qInfo("Arial 8.25 pt resolves to %s", qPrintable(QFontInfo(window->font()).family()));
    if (where == "Start Time") {
        window->listItems->appendRows(
            CallsFromTexts({CallRow{"5551234567", "5551234567", text, "00:05:30"}}));
        const QModelIndex cell = window->ListView1->model()->index(0, 2);
        QStyleOptionViewItem option;
        option.initFrom(window->ListView1->viewport());
        option.font = window->ListView1->font();
        option.fontMetrics = QFontMetrics(option.font);
        option.rect = window->ListView1->visualRect(cell);
        option.textElideMode = window->ListView1->textElideMode();
        CellLayout().initStyleOption(&option, cell);
        QStyle* style = window->ListView1->style();
        const int margin =
            style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, window->ListView1) + 1;
        const int room =
            style->subElementRect(QStyle::SE_ItemViewItemText, &option, window->ListView1).width() -
            2 * margin;
        const QString shown = QStringLiteral("12/28/2026 12:59:59 PM");
        QCOMPARE(option.text, shown);
        QCOMPARE(option.fontMetrics.elidedText(option.text, option.textElideMode, room), shown);
        return;
    }
    ABOUT about(window->windowIcon());
    about.show();
    QLabel* label = where == "About Label2" ? about.Label2 : about.Label6;
    if (!text.isEmpty())
        label->setText(text);
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    QVERIFY2(needed <= label->contentsRect().width(),
             qPrintable(QString("%1 needs %2 px of %3")
                            .arg(label->text())
                            .arg(needed)
                            .arg(label->contentsRect().width())));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
