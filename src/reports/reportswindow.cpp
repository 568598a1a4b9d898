#include "reportswindow.h"

#include "calllistmodel.h"
#include "calllistview.h"
#include "chartview.h"
#include "config.h"
#include "numcrunch.h"
#include "reporttally.h"
#include "samenumber.h"
#include "textforms.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>

namespace {

// The settings the window keeps its choices in.
const QString kPeriodSetting = QStringLiteral("REPORTPERIOD");
const QString kFromSetting = QStringLiteral("REPORTFROM");
const QString kToSetting = QStringLiteral("REPORTTO");
const QString kMatchSetting = QStringLiteral("REPORTMATCH");
const QString kDirectionSetting = QStringLiteral("REPORTDIRECTION");
const QString kTabSetting = QStringLiteral("REPORTTAB");

// The values stored for the lists' entries, in their order.
const QStringList kPeriodKeys = {
    QStringLiteral("today"),     QStringLiteral("yesterday"),  QStringLiteral("thisweek"),
    QStringLiteral("lastweek"),  QStringLiteral("thismonth"),  QStringLiteral("lastmonth"),
    QStringLiteral("last7days"), QStringLiteral("last30days"), QStringLiteral("chosen")};
const QStringList kMatchKeys = {QStringLiteral("exact"), QStringLiteral("contains"),
                                QStringLiteral("number")};
const QStringList kDirectionKeys = {QStringLiteral("both"), QStringLiteral("from"),
                                    QStringLiteral("to")};
const QStringList kTabKeys = {QStringLiteral("calls"),       QStringLiteral("byhour"),
                              QStringLiteral("weekbyhour"),  QStringLiteral("byday"),
                              QStringLiteral("byextension"), QStringLiteral("topnumbers"),
                              QStringLiteral("capacity")};

void selectStored(QComboBox* box, const QStringList& keys, const QString& stored) {
    const qsizetype index = keys.indexOf(stored);
    if (index >= 0)
        box->setCurrentIndex(int(index));
}

} // namespace

ReportsWindow::ReportsWindow(std::function<QDate()> today, QWidget* parent)
    : QMainWindow(parent), today_(today ? std::move(today) : [] { return QDate::currentDate(); }) {
    setWindowTitle(QStringLiteral("Linetally Reports"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* bar = new QWidget(central);
    buildChoices(bar);
    layout->addWidget(bar);
    tabs = new QTabWidget(central);
    tabs->setDocumentMode(true);
    layout->addWidget(tabs, 1);
    setCentralWidget(central);
    buildTabs();

    progressLabel = new QLabel(this);
    progressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // One line, whatever the window's width: a wrapped label would reserve the height of
    // several lines in the status bar. A long failure shows whole in the label's tip.
    progressLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setEnabled(false);
    statusBar()->addWidget(progressLabel, 1);
    statusBar()->addPermanentWidget(cancelButton);
    buildMenus();
    cancelButton->setToolTip(QStringLiteral("Stop the report at the server (%1)")
                                 .arg(cancelAction->shortcut().toString(QKeySequence::NativeText)));
    connect(cancelButton, &QPushButton::clicked, this, &ReportsWindow::cancelReport);
    setTabOrders();

    restoreChoices();
    connect(tabs, &QTabWidget::currentChanged, this, [this] { saveChoices(); });

    // A size that fits the screen at any scale, the whole window on it.
    const QRect available = screen()->availableGeometry();
    resize(std::min(1100, available.width() * 9 / 10), std::min(760, available.height() * 9 / 10));
}

ReportsWindow::~ReportsWindow() {
    worker_.cancel();
}

void ReportsWindow::buildChoices(QWidget* bar) {
    auto* grid = new QGridLayout(bar);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto label = [bar](const QString& text, QWidget* buddy) {
        auto* shown = new QLabel(text, bar);
        shown->setBuddy(buddy);
        return shown;
    };
    periodBox = new QComboBox(bar);
    periodBox->addItems(reports::PeriodNames());
    fromEdit = new QDateEdit(bar);
    toEdit = new QDateEdit(bar);
    for (QDateEdit* edit : {fromEdit, toEdit}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    numberEdit = new QLineEdit(bar);
    numberEdit->setPlaceholderText(QStringLiteral("all calls"));
    numberEdit->setClearButtonEnabled(true);
    matchBox = new QComboBox(bar);
    matchBox->addItems({QStringLiteral("Exactly"), QStringLiteral("Contains the digits"),
                        QStringLiteral("Same number")});
    directionBox = new QComboBox(bar);
    directionBox->addItems({QStringLiteral("Both directions"), QStringLiteral("From the number"),
                            QStringLiteral("To the number")});

    grid->addWidget(label(QStringLiteral("&Period:"), periodBox), 0, 0);
    grid->addWidget(periodBox, 0, 1);
    grid->addWidget(label(QStringLiteral("&From:"), fromEdit), 0, 2);
    grid->addWidget(fromEdit, 0, 3);
    grid->addWidget(label(QStringLiteral("&To:"), toEdit), 0, 4);
    grid->addWidget(toEdit, 0, 5);
    grid->addWidget(label(QStringLiteral("&Number:"), numberEdit), 1, 0);
    grid->addWidget(numberEdit, 1, 1);
    grid->addWidget(label(QStringLiteral("&Match:"), matchBox), 1, 2);
    grid->addWidget(matchBox, 1, 3);
    grid->addWidget(label(QStringLiteral("&Direction:"), directionBox), 1, 4);
    grid->addWidget(directionBox, 1, 5);
    grid->setColumnStretch(6, 1);

    connect(periodBox, &QComboBox::currentIndexChanged, this, &ReportsWindow::periodChosen);
    connect(fromEdit, &QDateEdit::dateChanged, this, &ReportsWindow::datesEdited);
    connect(toEdit, &QDateEdit::dateChanged, this, &ReportsWindow::datesEdited);
    connect(numberEdit, &QLineEdit::editingFinished, this, [this] {
        if (numberEdit->isModified()) {
            numberEdit->setModified(false);
            runReport();
        }
    });
    for (QComboBox* box : {matchBox, directionBox})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!restoring_) {
                saveChoices();
                runReport();
            }
        });
}

void ReportsWindow::buildTabs() {
    callsModel_ = new CallListModel(this);
    callsView_ = new CallListView(callsModel_, tabs);
    // Wide enough for an international number and the locale's longest start time (a late
    // hour of a two-digit day and month), in this window's font.
    const QFontMetrics metrics(callsView_->font());
    const int padding = metrics.horizontalAdvance(QStringLiteral("MM"));
    const int number = metrics.horizontalAdvance(QStringLiteral("+441632960777")) + padding;
    const auto latest = TextForms::StartSecondsFromDriverText(QStringView(u"2026-12-28 23:59:59"));
    const int start =
        metrics.horizontalAdvance(latest ? TextForms::StartTimeText(*latest) : QString()) + padding;
    for (const auto& [column, width] :
         {std::pair{0, number},
          {1, number},
          {2, start},
          {3, metrics.horizontalAdvance(QStringLiteral("000:00:00")) + padding}})
        callsView_->setColumnWidth(column, std::max(width, callsView_->columnWidth(column)));
    tabs->addTab(callsView_, QStringLiteral("&Calls"));
    const QStringList names = {{},
                               QStringLiteral("By &hour"),
                               QStringLiteral("&Week by hour"),
                               QStringLiteral("By d&ay"),
                               QStringLiteral("By &extension"),
                               QStringLiteral("Top n&umbers"),
                               QStringLiteral("Ca&pacity")};
    for (int tab = ByHour; tab < TabCount; ++tab) {
        auto* splitter = new QSplitter(Qt::Vertical, tabs);
        figures_[tab] = new QStandardItemModel(this);
        auto* sorted = new QSortFilterProxyModel(this);
        sorted->setSourceModel(figures_[tab]);
        sorted->setSortRole(Qt::UserRole);
        tables_[tab] = new QTableView(splitter);
        tables_[tab]->setModel(sorted);
        tables_[tab]->setSortingEnabled(true);
        tables_[tab]->sortByColumn(-1, Qt::AscendingOrder);
        tables_[tab]->setSelectionBehavior(QAbstractItemView::SelectRows);
        tables_[tab]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tables_[tab]->verticalHeader()->hide();
        // Rows as close as the calls list's, so that more of them show beside the chart.
        tables_[tab]->verticalHeader()->setDefaultSectionSize(
            callsView_->verticalHeader()->defaultSectionSize());
        tables_[tab]->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        // A few columns of figures share the width rather than leave it all to the last.
        tables_[tab]->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        charts_[tab] = new ChartView(splitter);
        splitter->addWidget(tables_[tab]);
        splitter->addWidget(charts_[tab]);
        // Half each: on a small or scaled screen the table still shows more than two rows.
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 1);
        tabs->addTab(splitter, names[tab]);
    }
}

void ReportsWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    exportAction = file->addAction(QStringLiteral("&Export..."), QKeySequence(Qt::CTRL | Qt::Key_E),
                                   this, &ReportsWindow::exportChosen);
    printAction = file->addAction(QStringLiteral("&Print..."), QKeySequence::Print, this,
                                  &ReportsWindow::printChosen);
    file->addSeparator();
    file->addAction(QStringLiteral("&Login Info..."), this, &ReportsWindow::loginChosen);
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
    QMenu* report = menuBar()->addMenu(QStringLiteral("&Report"));
    rerunAction = report->addAction(QStringLiteral("&Run Again"), QKeySequence(Qt::Key_F5), this,
                                    &ReportsWindow::runReport);
    cancelAction = report->addAction(QStringLiteral("&Cancel"), QKeySequence(Qt::Key_Escape), this,
                                     &ReportsWindow::cancelReport);
    cancelAction->setEnabled(false);

    QToolBar* toolbar = addToolBar(QStringLiteral("Report"));
    toolbar->setObjectName(QStringLiteral("reportToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The toolbar's buttons name their shortcut when the pointer rests on them, as the menus do.
    for (QAction* action : {rerunAction, exportAction, printAction}) {
        toolbar->addAction(action);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(
            action->text().remove(QLatin1Char('&')).remove(QStringLiteral("...")),
            action->shortcut().toString(QKeySequence::NativeText)));
    }
}

// The choices as they read, left to right and down; then the tab bar and the table of the tab
// shown (the tab widget keeps them in that order, and skips the hidden pages), and the Cancel
// button while a report runs.
void ReportsWindow::setTabOrders() {
    const std::array<QWidget*, 8> order{periodBox, fromEdit,     toEdit, numberEdit,
                                        matchBox,  directionBox, tabs,   cancelButton};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ReportsWindow::restoreChoices() {
    restoring_ = true;
    selectStored(matchBox, kMatchKeys, config::GetConfig(kMatchSetting));
    selectStored(directionBox, kDirectionKeys, config::GetConfig(kDirectionSetting));
    const QDate from = QDate::fromString(config::GetConfig(kFromSetting), Qt::ISODate);
    const QDate to = QDate::fromString(config::GetConfig(kToSetting), Qt::ISODate);
    fromEdit->setDate(from.isValid() ? from : today_());
    toEdit->setDate(to.isValid() ? to : today_());
    const qsizetype period = kPeriodKeys.indexOf(config::GetConfig(kPeriodSetting));
    periodBox->setCurrentIndex(period >= 0 ? int(period) : int(reports::Period::LastWeek));
    const qsizetype tab = kTabKeys.indexOf(config::GetConfig(kTabSetting));
    if (tab >= 0)
        tabs->setCurrentIndex(int(tab));
    restoring_ = false;
    applyPeriod();
}

void ReportsWindow::saveChoices() {
    if (restoring_)
        return;
    config::SetConfig(kPeriodSetting, kPeriodKeys.value(periodBox->currentIndex()));
    config::SetConfig(kFromSetting, fromEdit->date().toString(Qt::ISODate));
    config::SetConfig(kToSetting, toEdit->date().toString(Qt::ISODate));
    config::SetConfig(kMatchSetting, kMatchKeys.value(matchBox->currentIndex()));
    config::SetConfig(kDirectionSetting, kDirectionKeys.value(directionBox->currentIndex()));
    config::SetConfig(kTabSetting, kTabKeys.value(tabs->currentIndex()));
}

void ReportsWindow::periodChosen() {
    if (restoring_)
        return;
    applyPeriod();
    saveChoices();
    runReport();
}

void ReportsWindow::applyPeriod() {
    const auto period = reports::Period(periodBox->currentIndex());
    if (period != reports::Period::Chosen) {
        const auto [first, last] =
            reports::PeriodDays(period, today_(), QLocale().firstDayOfWeek());
        restoring_ = true;
        fromEdit->setDate(first);
        toEdit->setDate(last);
        restoring_ = false;
    }
}

void ReportsWindow::datesEdited() {
    if (restoring_)
        return;
    restoring_ = true;
    periodBox->setCurrentIndex(int(reports::Period::Chosen));
    restoring_ = false;
    saveChoices();
    runReport();
}

std::pair<QDate, QDate> ReportsWindow::period() const {
    return {fromEdit->date(), toEdit->date()};
}

void ReportsWindow::runReport() {
    ReportFilter filter;
    std::tie(filter.first, filter.last) = period();
    if (filter.last < filter.first) {
        cancelReport();
        showFailure(QStringLiteral("The period ends before it starts: choose a To date on or "
                                   "after the From date."));
        return;
    }
    filter.direction = std::array{Direction::Both, Direction::From,
                                  Direction::To}[size_t(directionBox->currentIndex())];
    std::shared_ptr<const calls::SameNumber> sameNumber;
    const QString number = numberEdit->text().trimmed();
    if (!number.isEmpty()) {
        filter.number = number;
        if (matchBox->currentIndex() == 1) {
            filter.digitsAnywhere = true;
            // The digits the statement will look for: ASCII ones, as the terminal counts them.
            if (NumCrunch::DigitsOnly(number).size() < kMinimumDigitsToMatch) {
                cancelReport();
                showFailure(QStringLiteral("To find a number by its digits, type at least %1 "
                                           "digits.")
                                .arg(kMinimumDigitsToMatch));
                return;
            }
        } else if (matchBox->currentIndex() == 2) {
            const QString region = calls::ChooseRegion(
                config::GetConfig(QString::fromLatin1(config::kRegionSetting)), {},
                qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_TELEPHONE"),
                qEnvironmentVariable("LANG"));
            auto same = calls::SameNumber::For(number, region);
            if (region.isEmpty() || !same) {
                cancelReport();
                showFailure(QStringLiteral("To find the same number however it is written, set "
                                           "REGION (such as REGION=GB) in the settings."));
                return;
            }
            sameNumber = std::make_shared<const calls::SameNumber>(std::move(same.value));
            filter.endsWithDigits = sameNumber->lastDigits();
        }
    }
    // On a figures tab the server's sums come first and are shown while the calls are listed;
    // on the calls or the capacity, which need the calls themselves, the calls come at once.
    const bool countsFirst = tabs->currentIndex() != Calls && tabs->currentIndex() != Capacity;
    ReportTally::CountsFound countsFound;
    if (countsFirst)
        countsFound = [this](std::shared_ptr<const ReportCounts> counts) {
            earlyShown_ = std::move(counts);
            showCounts(*earlyShown_);
            if (earlyShown_->numbersCounted && !listReplaced_)
                progressLabel->setText(QStringLiteral("Reading calls"));
            emit figuresShown();
        };
    auto tally = std::make_shared<ReportTally>(filter, sameNumber, std::move(countsFound));
    running_ = tally;
    listReplaced_ = false;
    // A same number is confirmed call by call: its counts cannot come first.
    progressLabel->setText(tally->countsFirst() ? QStringLiteral("Summing up calls")
                                                : QStringLiteral("Reading calls"));
    progressLabel->setToolTip({});
    cancelButton->setEnabled(true);
    cancelAction->setEnabled(true);
    worker_.run(
        dbRoutines::CurrentConnectionSettings(), BuildListedReportQuery(filter), tally, this,
        [this](qint64 read) {
            progressLabel->setText(
                QStringLiteral("Reading calls: %1").arg(QLocale().toString(read)));
            takeCalls();
        },
        [this](Status status) { reportDone(std::move(status)); });
}

void ReportsWindow::cancelReport() {
    if (!running_)
        return;
    worker_.cancel();
    running_.reset();
    restoreShownCounts();
    cancelButton->setEnabled(false);
    cancelAction->setEnabled(false);
    progressLabel->setText(QStringLiteral("Cancelled. The figures shown are of the last report."));
    emit reportEnded();
}

void ReportsWindow::takeCalls() {
    if (!running_)
        return;
    CallRows rows = running_->takeCalls();
    if (!listReplaced_) {
        callsModel_->clear();
        listReplaced_ = true;
    }
    if (!rows.empty())
        callsModel_->appendRows(std::move(rows));
}

void ReportsWindow::reportDone(Status status) {
    if (!running_)
        return;
    takeCalls();
    const std::shared_ptr<ReportTally> tally = std::move(running_);
    running_.reset();
    cancelButton->setEnabled(false);
    cancelAction->setEnabled(false);
    if (!status) {
        restoreShownCounts();
        showFailure(QStringLiteral("The report failed: ") + status.reason());
    } else {
        shown_ = tally;
        if (earlyShown_ != tally->counts())
            showCounts(*tally->counts());
        earlyShown_.reset();
        showCapacity(tally->capacity());
        const auto [first, last] = period();
        progressLabel->setText(QStringLiteral("%1 calls, %2 to %3")
                                   .arg(QLocale().toString(tally->figures().calls),
                                        QLocale().toString(first, QLocale::ShortFormat),
                                        QLocale().toString(last, QLocale::ShortFormat)));
        emit figuresShown();
    }
    emit reportEnded();
}

// The counts of a report stopped part way were shown early: the last good report's come back.
void ReportsWindow::restoreShownCounts() {
    if (!earlyShown_)
        return;
    earlyShown_.reset();
    if (shown_)
        showCounts(*shown_->counts());
    else
        for (int tab = ByHour; tab < Capacity; ++tab) {
            figures_[tab]->clear();
            charts_[tab]->setChart({}, {});
        }
}

void ReportsWindow::showFailure(const QString& text) {
    progressLabel->setText(text);
    progressLabel->setToolTip(text);
}

void ReportsWindow::closeEvent(QCloseEvent* event) {
    cancelReport();
    saveChoices();
    (void)config::SaveConfig();
    event->accept();
}
