#include "form1.h"

#include "about.h"

#include "calllistmodel.h"
#include "calllistview.h"
#include "chartwidget.h"
#include "designedwindow.h"
#include "statustext.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include <limits>

namespace {

QPushButton* makeButton(const QString& caption, QWidget* parent, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    // Enter presses the focused button, as the space bar does.
    button->setAutoDefault(true);
    return button;
}

QComboBox* makeList(QWidget* parent, QRect geometry, const QString& tooltip) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    combo->setGeometry(geometry);
    combo->setToolTip(tooltip);
    return combo;
}

} // namespace

Form1::Form1(MainWindowOptions options)
    : worker_(std::make_unique<DbWorker>(options.rowsBeforeOutOfMemory)),
      options_(std::move(options)) {
    // The pictures live in a static library, whose resources must be registered by hand.
    Q_INIT_RESOURCE(resources);
    setWindowTitle(QStringLiteral("Linetally"));
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/linetally/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFont(Twips::arial());
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    createControls();
    createMenus();
    setClientWidth(kNormalClientWidth);
    CentreOnScreen(this);
}

Form1::~Form1() = default;

void Form1::createControls() {
    auto* area = new QWidget(this);
    setCentralWidget(area);
    area->installEventFilter(this);

    Combo2 = makeList(area, Twips::rect(120, 120, 1455, 330), QStringLiteral("Search Date"));
    Combo1 = makeList(area, Twips::rect(1680, 120, 1335, 330), QString());
    Combo1->addItems({QStringLiteral("To"), QStringLiteral("From"), QStringLiteral("Both")});
    for (int i = 0; i < Combo1->count(); ++i)
        Combo1->setItemData(i, 0);
    Combo1->setCurrentIndex(-1);
    Combo3 =
        makeList(area, Twips::rect(3120, 120, 975, 330), QStringLiteral("Quick-Link Extension"));
    Text1 = new QLineEdit(area);
    Text1->setGeometry(Twips::rect(4200, 120, 1575, 330));
    Text1->setToolTip(QStringLiteral("Alternate Search Number"));
    Text1->setMaxLength(std::numeric_limits<int>::max());

    Command2 = makeButton(QStringLiteral("Search"), area, Twips::rect(5880, 120, 855, 330));
    Command6 = makeButton(QStringLiteral("Show Chart"), area, Twips::rect(6840, 120, 1335, 330));

    listItems = new CallListModel(this);
    ListView1 = new CallListView(listItems, area);
    ListView1->setGeometry(Twips::rect(120, 480, 8055, 7455));
    const int widths[] = {1440, 1440, 2000, 1440};
    for (int column = 0; column < 4; ++column)
        ListView1->setColumnWidth(column, Twips::px(widths[column]));

    StatusBar1 = new QStatusBar(area);
    StatusBar1->setSizeGripEnabled(false);
    statusPanel1 = new QLabel(StatusBar1);
    statusPanel1->setMinimumWidth(Twips::px(1440));
    statusPanel1->setFrameShape(QFrame::StyledPanel);
    statusPanel1->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(statusPanel1);
    statusSummary = new StatusText(StatusBar1);
    StatusBar1->addPermanentWidget(statusSummary, 1);

    // Below the client area: never seen, still in the keyboard's tab order.
    Command1 = makeButton(QStringLiteral("Command1"), area, Twips::rect(2040, 8880, 2775, 495));
    QFont sansSerif(QStringLiteral("MS Sans Serif"));
    sansSerif.setPointSizeF(8.25);
    Command1->setFont(sansSerif);
    Command3 = makeButton(QStringLiteral("Command3"), area, Twips::rect(120, 8880, 1695, 375));
    Command4 = makeButton(QStringLiteral("Chart"), area, Twips::rect(4920, 8880, 1095, 330));
    Command5 = makeButton(QStringLiteral("Command5"), area, Twips::rect(6120, 8880, 1095, 255));
    Label2 = new QLabel(QStringLiteral("Label2"), area);
    Label2->setGeometry(Twips::rect(5040, 9360, 2055, 255));

    chart = new ChartWidget(area);
    chart->setFocusPolicy(Qt::NoFocus);

    QWidget* order[] = {Command1, Combo2,    Combo1,   Combo3,   Text1,   Command2,
                        Command6, ListView1, Command3, Command4, Command5};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form1::Combo2_Click);
    // A pick-only list has no typed text: a date pick runs the search once, through
    // Combo2_Click, so nothing raises Combo2_Change.
    connect(Combo3, &QComboBox::activated, this, &Form1::Combo3_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text1, &QLineEdit::returnPressed, this, [this] { Text1_KeyPress(13); });
    // A held key repeats: the hidden self-test buttons take only a deliberate press.
    Command1->installEventFilter(this);
    Command3->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(ListView1, &CallListView::mouseDown, this, &Form1::ListView1_MouseDown);
}

void Form1::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFileExit = mnuFile->addAction(QStringLiteral("&Exit"));
    mnuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    mnuSettingsDbUP = mnuSettings->addAction(QStringLiteral("&Db User/Pass"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpDebug = mnuHelp->addAction(QStringLiteral("&Debug"));
    mnuHelpDebug->setVisible(false);
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));

    // Never in the menu bar: its entries form the result list's pop-up menu.
    mnuHidden = new QMenu(QStringLiteral("mnuHidden"), this);
    mnuHiddenPDF = mnuHidden->addAction(QStringLiteral("Create PDF On Search Results"));
    mnuHiddenPDF->setEnabled(false);
    mnuHiddenMIFrom = mnuHidden->addAction(QStringLiteral("More Info"));
    mnuHiddenMITo = mnuHidden->addAction(QStringLiteral("More Info"));

    connect(mnuFileExit, &QAction::triggered, this, &Form1::mnuFileExit_Click);
    connect(mnuSettingsDbUP, &QAction::triggered, this, &Form1::mnuSettingsDbUP_Click);
    connect(mnuHelpDebug, &QAction::triggered, this, &Form1::mnuHelpDebug_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &Form1::mnuHelpAbout_Click);
    connect(mnuHiddenMIFrom, &QAction::triggered, this, &Form1::mnuHiddenMIFrom_Click);
    connect(mnuHiddenMITo, &QAction::triggered, this, &Form1::mnuHiddenMITo_Click);
}

void Form1::setClientWidth(int width) {
    // The window is not resizable by the operator; only Command6 changes its width.
    const int height = kClientHeight + menuBar()->sizeHint().height();
    setFixedSize(width, height);
    centralWidget()->setFixedSize(width, kClientHeight);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Command1 || watched == Command3) && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->isAutoRepeat())
        return true;
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        // Docked to the bottom edge: the status bar always spans the client width.
        const int height = Twips::px(375);
        StatusBar1->setGeometry(0, centralWidget()->height() - height, centralWidget()->width(),
                                height);
    }
    return QMainWindow::eventFilter(watched, event);
}
