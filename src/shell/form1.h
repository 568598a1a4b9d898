#pragma once

#include "about.h"
#include "clock.h"
#include "config.h"
#include "dbworker.h"
#include "result.h"

#include <QDate>
#include <QMainWindow>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

class CallListModel;
class CallListView;
class ChartWidget;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class StatusText;

// What the main window takes from outside; tests shorten the wait and fix the day.
struct MainWindowOptions {
    // How long the save at the end of the load step waits for another copy of the program
    // holding the settings folder.
    std::chrono::milliseconds settingsLockWait = config::kFolderLockWait;
    // The day the date list starts with.
    std::function<QDate()> today = Today;
    // How long a statement may wait (a locked table) before it gives up.
    int queryTimeoutSeconds = ConnectionSettings::kQueryTimeoutSeconds;
    // Memory runs out after a search has listed so many rows; negative: as memory holds.
    qsizetype rowsBeforeOutOfMemory = -1;
};

// The main window: the search row, the result list, the status bar, the activity chart to the
// right of the normal width, and the self-test buttons below the visible area.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // Client sizes in pixels: the normal width leaves the chart outside, the wide one takes it in.
    static constexpr int kNormalClientWidth = 8310 / 15;
    static constexpr int kWideClientWidth = 14340 / 15;
    static constexpr int kClientHeight = 8415 / 15;

    explicit Form1(MainWindowOptions options = {});
    ~Form1() override;

    // Controls, under their design names.
    QComboBox* Combo1; // direction
    QComboBox* Combo2; // date
    QComboBox* Combo3; // extension
    QLineEdit* Text1;  // alternate number
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command6;
    QLabel* Label2;
    CallListView* ListView1;
    CallListModel* listItems;
    QStatusBar* StatusBar1;
    QLabel* statusPanel1;
    StatusText* statusSummary; // on the right: what the last search gave
    ChartWidget* chart;

    QMenu* mnuFile;
    QAction* mnuFileExit;
    QMenu* mnuSettings;
    QAction* mnuSettingsDbUP;
    QMenu* mnuHelp;
    QAction* mnuHelpDebug;
    QAction* mnuHelpAbout;
    QMenu* mnuHidden;
    QAction* mnuHiddenPDF;
    QAction* mnuHiddenMIFrom;
    QAction* mnuHiddenMITo;

    QWidget* client() const { return centralWidget(); }
    ABOUT* aboutWindow() const { return about_; }

    void searchnow();
    void RefreshGraph();

    // Whether the load step, a search or the extension list still waits for the database.
    bool databaseBusy() const { return loading_ || searching_ || extensionsPending_; }

signals:
    // The load step has ended: the window may be shown.
    void loadFinished();
    // A search has put its rows and its summary in place.
    void searchFinished();

public slots:
    void Form_Load();
    void Form_Terminate();
    void mnuFileExit_Click();
    void mnuSettingsDbUP_Click();
    void mnuHelpAbout_Click();
    void mnuHelpDebug_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Combo1_Click();
    void Combo2_Click();
    void Combo2_Change();
    void Combo3_Click();
    void Text1_Change();
    void Text1_KeyPress(int keyAscii);
    void ListView1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void mnuHiddenMIFrom_Click();
    void mnuHiddenMITo_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void setClientWidth(int width);
    // The settings as they stand now, with the statement limit of the options.
    ConnectionSettings connectionSettings() const;
    void finishLoad(DbWorker::StartOutcome outcome);
    void finishSearch(DbWorker::SearchOutcome outcome);
    // Keeps the driver a probe on the worker found, unless one is known by now.
    void keepDriver(const DbWorker::StartOutcome& probe);
    // Reads the extension list in the background when it has no entries yet.
    void fillExtensionsIfEmpty();
    // Puts the extension list read into Combo3, unless it has entries by now.
    void putExtensions(const QStringList& extensions);
    // Cancels what waits for the database, then ends the program.
    void endProgram();

    QPointer<ABOUT> about_;
    std::unique_ptr<DbWorker> worker_;
    MainWindowOptions options_;
    bool loading_ = false;
    bool searching_ = false;
    bool extensionsPending_ = false;
    bool chartAfterSearch_ = false; // a Search press came while a search ran
    // The numbers of the row the pop-up was last set up for, as stored.
    QString lookupFrom_;
    QString lookupTo_;
};
