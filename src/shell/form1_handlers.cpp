// The main window's behaviour: start-up, searching, the chart, the list's pop-up, the menus.

#include "form1.h"

#include "about.h"
#include "callcells.h"
#include "calllistmodel.h"
#include "calllistview.h"
#include "chartwidget.h"
#include "clock.h"
#include "config.h"
#include "dbroutines.h"
#include "diagnostics.h"
#include "endprogram.h"
#include "googlecode.h"
#include "login.h"
#include "messagebox.h"
#include "searchquery.h"
#include "statustext.h"
#include "textforms.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>

#include <new>

namespace {

// How long closing the window waits for a cancelled statement to end before the program ends
// anyway (a server that does not answer at all).
constexpr int kCancelWaitMilliseconds = 1500;

const QString kSearching = QStringLiteral("Searching");
const QString kLookupPrefix = QStringLiteral("Google : ");
// The caption when LOOKUPURL sends the lookup to the site's own directory instead of Google.
const QString kOwnLookupPrefix = QStringLiteral("Look up : ");

void reportSaveFailure(QWidget* parent, const Status& saved) {
    if (!saved)
        ShowLinetallyMessage(parent, saved.reason());
}

// Opens the web search for a number in the default browser, on the site's own directory when
// LOOKUPURL names one; the browser's outcome is not reported, an unusable LOOKUPURL is.
void searchNumberOnWeb(QWidget* parent, const QString& number) {
    const Result<QUrl> address = GoogleCode::LookupAddressForNumber(
        number, config::GetConfig(QString::fromLatin1(config::kLookupUrlName)));
    if (!address) {
        ShowLinetallyMessage(parent, address.reason() +
                                         QStringLiteral(" Change %1 in %2.")
                                             .arg(QString::fromLatin1(config::kLookupUrlName),
                                                  config::ConfigFilePath()));
        return;
    }
    QDesktopServices::openUrl(address.value);
}

// A number shown in a menu caption: "&" would otherwise be taken for an access key.
QString menuText(const QString& text) {
    return QString(text).replace(u'&', QStringLiteral("&&"));
}

QString lookupPrefix() {
    return config::GetConfig(QString::fromLatin1(config::kLookupUrlName)).trimmed().isEmpty()
               ? kLookupPrefix
               : kOwnLookupPrefix;
}

} // namespace

ConnectionSettings Form1::connectionSettings() const {
    ConnectionSettings settings = dbRoutines::CurrentConnectionSettings();
    settings.queryTimeoutSeconds = options_.queryTimeoutSeconds;
    return settings;
}

void Form1::Form_Load() {
    setWindowTitle(QStringLiteral("Linetally - "));
    Combo2->addItems(TextForms::DateListEntries(options_.today()));
    Combo2->setCurrentIndex(-1);

    while (config::GetConfig(QStringLiteral("dbuser")).isEmpty()) {
        login dialog(this);
        dialog.exec();
    }

    // The probe and the extension list are read in the background; the load step goes on in
    // finishLoad, and the window is shown once it has ended.
    loading_ = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    worker_->start(connectionSettings(), this,
                   [this](DbWorker::StartOutcome outcome) { finishLoad(std::move(outcome)); });
}

void Form1::finishLoad(DbWorker::StartOutcome outcome) {
    keepDriver(outcome);
    if (outcome.extensions) {
        putExtensions(outcome.extensions->value);
        // The list stays empty when it cannot be read (a locked table): the status says why.
        if (!*outcome.extensions)
            statusSummary->setFullText(QStringLiteral("Extension list failed: ") +
                                       outcome.extensions->reason());
    }
    QGuiApplication::restoreOverrideCursor();
    if (!outcome.driver)
        ShowLinetallyMessage(this, dbRoutines::kConnectFailed, outcome.driver.reason());

    RefreshGraph();
    reportSaveFailure(this, config::SaveConfig(options_.settingsLockWait));
    Command1->setFocus();
    loading_ = false;
    emit loadFinished();
}

void Form1::Form_Terminate() {
    endProgram();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Terminate();
}

void Form1::mnuFileExit_Click() {
    endProgram();
}

void Form1::endProgram() {
    // A statement that waits (a locked table) is cancelled on the server, not left behind.
    worker_->cancel();
    (void)worker_->finish(kCancelWaitMilliseconds);
    EndProgram();
}

void Form1::mnuSettingsDbUP_Click() {
    login dialog(this);
    dialog.exec();
    // Credentials that work now may reach a database that was not there at start-up.
    if (!dbRoutines::DbDriver.isEmpty())
        fillExtensionsIfEmpty();
}

void Form1::fillExtensionsIfEmpty() {
    if (Combo3->count() > 0 || extensionsPending_)
        return;
    extensionsPending_ = true;
    worker_->fillExtensionList(connectionSettings(), this,
                               [this](const Result<QStringList>& extensions) {
                                   extensionsPending_ = false;
                                   putExtensions(extensions.value);
                               });
}

void Form1::putExtensions(const QStringList& extensions) {
    if (Combo3->count() > 0)
        return;
    const QSignalBlocker quiet(Combo3);
    Combo3->addItems(extensions);
    Combo3->setCurrentIndex(-1);
}

void Form1::mnuHelpAbout_Click() {
    if (about_) {
        about_->raise();
        about_->activateWindow();
        return;
    }
    about_ = new ABOUT(windowIcon());
    about_->show();
}

void Form1::mnuHelpDebug_Click() {
    // The entry is never visible, and there is no debug window to show.
}

void Form1::Command1_Click() {
    // The hidden self-test's outcome goes to its log (linetally.selftest); the window shows
    // nothing, as designed.
    (void)Diagnostics::RunOdbcSelfTest();
}

void Form1::Command3_Click() {
    const bool connected = Diagnostics::RunOleDbSelfTest().ok();
    ShowLinetallyMessage(this, connected ? QStringLiteral("Connected") : QStringLiteral("Failed"));
}

void Form1::Command4_Click() {
    // The chart lives in this window; there is no separate chart window to show.
}

void Form1::Command5_Click() {
    RefreshGraph();
}

void Form1::Command6_Click() {
    if (width() == kWideClientWidth) {
        setClientWidth(kNormalClientWidth);
        Command6->setText(QStringLiteral("Show Chart"));
    } else {
        setClientWidth(kWideClientWidth);
        Command6->setText(QStringLiteral("Hide Chart"));
        // The window grows on its right; where that would leave the screen, it moves left just
        // enough to stay on it (never past the screen's left edge).
        if (const QScreen* shown = screen()) {
            const QRect available = shown->availableGeometry();
            const int overhang = frameGeometry().right() - available.right();
            if (overhang > 0)
                move(std::max(available.left(), x() - overhang), y());
        }
    }
}

void Form1::Combo1_Click() {
    Command2_Click();
}
void Form1::Combo2_Click() {
    Command2_Click();
}
void Form1::Combo2_Change() {
    Command2_Click();
}
void Form1::Combo3_Click() {
    Command2_Click();
}

void Form1::Command2_Click() {
    searchnow();
    // The chart is drawn from the rows the search leaves: once they are there.
    if (searching_)
        chartAfterSearch_ = true;
    else
        RefreshGraph();
}

void Form1::Text1_Change() {
    Combo3->setEnabled(Text1->text().isEmpty());
}

void Form1::Text1_KeyPress(int keyAscii) {
    if (keyAscii == 13)
        searchnow();
}

void Form1::searchnow() {
    if (Combo1->currentText().isEmpty() || Combo2->currentText().isEmpty())
        return;
    if (Combo3->currentText().isEmpty() && Text1->text().isEmpty())
        return;
    if (searching_)
        return;
    searching_ = true;
    statusPanel1->setText(kSearching);
    statusSummary->setFullText(QString());
    // The window stays usable while the search runs in the background.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);

    SearchChoices choices;
    choices.direction = Combo1->currentText();
    choices.dateText = Combo2->currentText();
    choices.searchNumber =
        Combo3->isEnabled() ? Combo3->itemText(Combo3->currentIndex()) : Text1->text();
    // The old rows go first, so that a large list is not held twice.
    listItems->clear();
    // No driver found yet (the database was down at start-up): the worker probes first, so that
    // a database that is back is found without a restart.
    const bool withExtensions = Combo3->count() == 0 && !extensionsPending_;
    worker_->search(connectionSettings(), BuildSearchQuery(choices), withExtensions, this,
                    [this](DbWorker::SearchOutcome outcome) { finishSearch(std::move(outcome)); });
}

void Form1::keepDriver(const DbWorker::StartOutcome& probe) {
    dbRoutines::KeepFirstDriver(probe.driver);
}

void Form1::finishSearch(DbWorker::SearchOutcome outcome) {
    if (outcome.probe)
        keepDriver(*outcome.probe);
    if (outcome.probe && outcome.probe->extensions)
        putExtensions(outcome.probe->extensions->value);
    Result<CallRows> listed = std::move(outcome.rows);
    try {
        listItems->appendRows(std::move(listed.value));
    } catch (const std::bad_alloc&) {
        // Sorting the new rows for the view needs memory of its own.
        listItems->clear();
        listed = Failed<CallRows>(QStringLiteral("Out of memory"));
    }

    QGuiApplication::restoreOverrideCursor();
    statusPanel1->setText(QString());
    // A failed search must not pass for a day without calls.
    statusSummary->setFullText(
        listed ? TextForms::CallsSummaryText(listItems->count(), listItems->talkSeconds(),
                                             listItems->rows().unreadableDurations())
               : QStringLiteral("Search failed: ") + listed.reason());
    searching_ = false;
    if (chartAfterSearch_) {
        chartAfterSearch_ = false;
        RefreshGraph();
    }
    emit searchFinished();
}

void Form1::RefreshGraph() {
    const QByteArray reference =
        (Combo3->isEnabled() ? Combo3->currentText() : Text1->text()).toUtf8();
    chart->setCells(MinuteCellsOf(listItems->rows(), reference));
}

void Form1::ListView1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
    if (listItems->count() == 0)
        return;
    const int selected = ListView1->selectedRow();
    if (selected < 0)
        return; // no row to read: the entries keep their captions and no pop-up opens
    const CallRow call = listItems->row(selected);
    lookupFrom_ = call.callFrom;
    lookupTo_ = call.callTo;
    const QString prefix = lookupPrefix();
    mnuHiddenMIFrom->setText(prefix + menuText(TextForms::VisibleText(call.callFrom)));
    mnuHiddenMITo->setText(prefix + menuText(TextForms::VisibleText(call.callTo)));
    mnuHiddenMIFrom->setEnabled(call.callFrom.size() >= 10);
    mnuHiddenMITo->setEnabled(call.callTo.size() >= 10);
    if (button == Qt::RightButton)
        mnuHidden->exec(ListView1->viewport()->mapToGlobal(QPoint(x, y)));
}

void Form1::mnuHiddenMIFrom_Click() {
    searchNumberOnWeb(this, lookupFrom_);
}

void Form1::mnuHiddenMITo_Click() {
    searchNumberOnWeb(this, lookupTo_);
}
