#pragma once

#include "reportperiod.h"
#include "reportworker.h"
#include "result.h"
#include "searchquery.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class CallListModel;
class CallListView;
class ChartView;
class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class ReportTally;
struct ReportCounts;
namespace calls {
struct DayCapacity;
}

// The reports window: the calls of any period, and their figures by hour, by day of the week
// and hour, by day, by extension, by number and for capacity, each as a table and a chart.
// Every report is read on a worker thread; the window stays usable while the server works.
class ReportsWindow : public QMainWindow {
    Q_OBJECT
public:
    // A figures table keeps a talk time's seconds beside its text, for the files.
    static constexpr int kSecondsRole = Qt::UserRole + 1;
    enum Tab { Calls, ByHour, WeekByHour, ByDay, ByExtension, TopNumbers, Capacity, TabCount };

    // today: the clock the periods are reckoned from.
    explicit ReportsWindow(std::function<QDate()> today = {}, QWidget* parent = nullptr);
    ~ReportsWindow() override;

    // The choices, in their Tab order.
    QComboBox* periodBox;
    QDateEdit* fromEdit;
    QDateEdit* toEdit;
    QLineEdit* numberEdit;
    QComboBox* matchBox;     // exact, contains, same number
    QComboBox* directionBox; // both, from, to
    QTabWidget* tabs;
    QLabel* progressLabel; // "Reading calls: 231,400", then what the report holds or why it failed
    QPushButton* cancelButton;
    QAction* exportAction;
    QAction* printAction;
    QAction* rerunAction;
    QAction* cancelAction;

    CallListModel* callsModel() const { return callsModel_; }
    CallListView* callsView() const { return callsView_; }
    // The table of a figures tab, and its chart.
    QStandardItemModel* figures(Tab tab) const { return figures_[tab]; }
    QTableView* table(Tab tab) const { return tables_[tab]; }
    ChartView* chart(Tab tab) const { return charts_[tab]; }

    bool running() const { return bool(running_); }
    // The period of the report shown (or being read).
    std::pair<QDate, QDate> period() const;

    // Reads the report of the choices, stopping one that runs.
    void runReport();
    void cancelReport();
    // Writes what the current tab shows, in the form the file's suffix names: .csv, .jsonl,
    // .xlsx, .pdf (the call report of the period) or .png (the tab's chart).
    [[nodiscard]] Status exportTo(const QString& path);
    QString suggestedFileName(const QString& suffix) const;

signals:
    // A report was read whole and shown, or failed, or was cancelled.
    void reportEnded();
    // The figures tabs show a new report's figures: its counts, before its calls are all
    // listed, or the whole report.
    void figuresShown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildChoices(QWidget* bar);
    void buildTabs();
    void buildMenus();
    void setTabOrders();
    void restoreChoices();
    void saveChoices();
    void periodChosen();
    // Sets the From and To dates to the chosen period's.
    void applyPeriod();
    void datesEdited();
    void takeCalls();
    void reportDone(Status status);
    void showCounts(const ReportCounts& counts);
    void showCapacity(const std::vector<calls::DayCapacity>& days);
    void restoreShownCounts();
    void showFailure(const QString& text);
    void exportChosen();
    void printChosen();
    void loginChosen();

    std::function<QDate()> today_;
    ReportWorker worker_;
    std::shared_ptr<ReportTally> running_;
    std::shared_ptr<ReportTally> shown_; // the last good report
    bool listReplaced_ = false;          // the running report's calls have begun to be listed
    // The counts shown of a report that has not ended.
    std::shared_ptr<const ReportCounts> earlyShown_;
    bool restoring_ = false;
    CallListModel* callsModel_;
    CallListView* callsView_;
    std::array<QStandardItemModel*, TabCount> figures_{};
    std::array<QTableView*, TabCount> tables_{};
    std::array<ChartView*, TabCount> charts_{};
};

namespace reports {
// `linetally reports`: shows the window until it is closed; the exit status.
int Run(int argc, char* argv[]);
} // namespace reports
