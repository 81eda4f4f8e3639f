// MainWindow's guild ledger: the ledger in use (kept across starts), adding the bank log's text to it off the
// window's thread, and analysing a period of it as a run of its own.

#include "ui/main_window.h"

#include "ledger/ledger_open.h"
#include "shell/file_exists.h"
#include "ui/bank_log_panel.h"
#include "ui/engine_text.h"
#include "ui/ledger_panel.h"
#include "ui/throttled_event_pump.h"
#include "ui/user_dialogs.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>

namespace coffer {
namespace {

// Ledgers first; a ledger kept under another name can still be chosen.
const QString kLedgerFilter = QStringLiteral("Guild Ledgers (*.sqlite);;All Files (*)");

// A message of the ledger on one line: a server's message may hold a detail or a hint on lines of its own.
QString OneLine(const std::string& message) {
    return ToQString(message).simplified();
}

QString ClockText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

void MainWindow::buildLedger(QWidget* client) {
    ledgerPanel_ = new LedgerPanel(client);
    connect(ledgerPanel_->newButton(), &QPushButton::clicked, this, &MainWindow::newLedger);
    connect(ledgerPanel_->openButton(), &QPushButton::clicked, this, &MainWindow::openLedger);
    connect(ledgerPanel_->defaultButton(), &QPushButton::clicked, this, [this] { useLedger({}); });
    connect(ledgerPanel_->connectButton(), &QPushButton::clicked, this, &MainWindow::connectSharedLedger);
    connect(ledgerPanel_->refreshButton(), &QPushButton::clicked, this, &MainWindow::refreshLedger);
    connect(ledgerPanel_->addButton(), &QPushButton::clicked, this, &MainWindow::addToLedger);
    connect(ledgerPanel_->cancelButton(), &QPushButton::clicked, this, &MainWindow::cancelLedgerAdd);
    connect(ledgerPanel_->analyzeButton(), &QPushButton::clicked, this, &MainWindow::analyzeLedger);
    connect(&ledgerJob_, &LedgerJob::progressChanged, ledgerPanel_, [this](int percent) {
        ledgerPanel_->showProgress(percent);
        ledgerPanel_->showStatus(QStringLiteral("Adding the bank log to the ledger…"));
    });
    connect(&ledgerJob_, &LedgerJob::waitingForLock, ledgerPanel_, [this] {
        ledgerPanel_->showStatus(
            QStringLiteral("Waiting for another program that is using the ledger (up to a minute)…"));
    });
    connect(&ledgerJob_, &LedgerJob::finished, this, &MainWindow::onLedgerFinished);
}

void MainWindow::showLedgerPanel() {
    showPanel(ledgerPanel_);
}

QString MainWindow::ledgerPath() const {
    return ledgerFile_.isEmpty() ? ToQString(settings_.defaultLedger.string())
                                 : ledgerUris_.value(ledgerFile_, ledgerFile_);
}

QString MainWindow::ledgerFolder() const {
    const bool onServer = IsServerLedger(ledgerFile_.toStdString());
    return QFileInfo(onServer ? ToQString(settings_.defaultLedger.string()) : ledgerPath()).absolutePath();
}

void MainWindow::enableLedgerActions() {
    ledgerPanel_->enableActions(busy_, ledgerJob_.running(),
                                ToQString(LedgerUnwritableReason(ledgerPath().toStdString())));
}

void MainWindow::useLedger(const QString& file, bool create) {
    if (ledgerJob_.running())
        return;
    ledgerFile_ = file;
    ledgerPanel_->showLedger(ToQString(LedgerDisplayName(ledgerPath().toStdString())), nullptr,
                             QStringLiteral("Reading the ledger…"));
    ledgerPanel_->showStatus({});
    ledgerJob_.read(ledgerPath().toStdString(), create);
    enableLedgerActions();
}

void MainWindow::refreshLedger() {
    // A ledger shown as read is read again behind its lists, which stay should the reading fail.
    if (ledgerFile_ != readableLedger_ || !ledgerReadAt_.isValid()) {
        useLedger(ledgerFile_);
        return;
    }
    if (ledgerJob_.running())
        return;
    refreshingLedger_ = true;
    ledgerPanel_->showStatus(QStringLiteral("Reading the ledger…"));
    ledgerJob_.read(ledgerPath().toStdString());
    enableLedgerActions();
}

void MainWindow::newLedger() {
    QString name =
        services_.dialogs->saveFileName(this, kLedgerFilter, ledgerFolder(), QStringLiteral("New Guild Ledger"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".sqlite");
    // A ledger holds what no armory shows any more: it is never replaced.
    if (FileExists(name.toStdString())) {
        inform(QStringLiteral("%1 already exists. Choose \"Open…\" to use it, or another name for a new ledger.")
                   .arg(name));
        return;
    }
    useLedger(name, true);
}

void MainWindow::openLedger() {
    const QString name =
        services_.dialogs->openFileName(this, QStringLiteral("Open Guild Ledger"), ledgerFolder(), kLedgerFilter);
    if (!name.isEmpty())
        useLedger(name);
}

void MainWindow::connectSharedLedger() {
    const bool onServer = IsServerLedger(ledgerFile_.toStdString());
    const QString uri = services_.dialogs->sharedLedger(this, onServer ? ledgerFile_ : QString());
    if (uri.isEmpty() || ledgerJob_.running())
        return;
    // The settings keep the ledger without its password; this run connects with the URI as given.
    const QString kept = ToQString(LedgerNameWithoutPassword(uri.toStdString()));
    ledgerUris_.insert(kept, uri);
    useLedger(kept);
}

void MainWindow::addToLedger() {
    if (busy_ || ledgerJob_.running())
        return;
    if (const std::string refusal = LedgerWriteRefusal(ledgerPath().toStdString()); !refusal.empty()) {
        inform(ToQString(refusal), true);
        return;
    }
    addingToLedger_ = true;
    ledgerAddCancelled_ = false;
    setBusy(true);
    ledgerPanel_->showAdding(true);
    ledgerPanel_->showStatus(QStringLiteral("Adding the bank log to the ledger…"));
    ThrottledEventPump pump;
    LogText text = bankLogPanel_->textUtf8([this, &pump] {
        pump();
        return !ledgerAddCancelled_ && !closing_;
    });
    if (ledgerAddCancelled_ || closing_) {
        addingToLedger_ = false;
        ledgerPanel_->showAdding(false);
        ledgerPanel_->showStatus(ToQString(AddCancelled().what()));
        setBusy(false);
        return;
    }
    ledgerJob_.add(ledgerPath().toStdString(), std::move(text),
                   bankLogPanel_->importedFiles().join(QStringLiteral(", ")).toStdString(),
                   QDateTime::currentMSecsSinceEpoch());
    enableLedgerActions();
}

void MainWindow::cancelLedgerAdd() {
    ledgerAddCancelled_ = true;
    ledgerJob_.cancel();
}

void MainWindow::onLedgerFinished() {
    LedgerJob::Results results = ledgerJob_.takeResults();
    const bool wasAdd = std::exchange(addingToLedger_, false);
    const bool wasRefresh = std::exchange(refreshingLedger_, false);
    if (wasAdd) {
        ledgerPanel_->showAdding(false);
        setBusy(false);
    }
    enableLedgerActions();
    const bool failed = !results.error.empty();
    if (failed && wasRefresh && !results.needsPassword) {
        QString reason = OneLine(results.error);
        if (reason.endsWith(u'.'))
            reason.chop(1);
        ledgerPanel_->showStatus(QStringLiteral("Could not refresh at %1: %2; showing the ledger as read at %3.")
                                     .arg(ClockText(QTime::currentTime()), reason, ClockText(ledgerReadAt_)));
        return;
    }
    if (!failed)
        ledgerReadAt_ = QTime::currentTime();
    if (!wasAdd || !failed) { // a failed add leaves the ledger, and its lists, as they were
        QString note = ToQString(LedgerWriteRefusal(results.file));
        if (note.isEmpty() && !results.summary && !failed)
            note = QStringLiteral("There is no ledger file yet: the first add creates it.");
        ledgerPanel_->showLedger(ToQString(LedgerDisplayName(results.file)),
                                 results.summary ? &*results.summary : nullptr, note);
    }
    QStringList status{OneLine(results.error)};
    if (results.added) {
        status.clear();
        for (const std::string& line : AddStatusLines("The bank log", *results.added))
            status << ToQString(line);
        for (const TimeGap& gap : results.added->outcome.openedGaps)
            status << ToQString(GapText(gap));
    }
    ledgerPanel_->showStatus(status.join(u'\n'));
    if (!failed) {
        if (!wasAdd)
            readableLedger_ = ledgerFile_;
        return;
    }
    if (results.cancelled)
        return;
    if (!wasAdd)
        ledgerUris_.remove(ledgerFile_); // a password that did not do is asked for again
    if (!wasAdd && results.needsPassword) {
        const QString shown = ToQString(LedgerDisplayName(ledgerFile_.toStdString()));
        if (const std::optional<QString> password = services_.dialogs->password(this, shown)) {
            ledgerUris_.insert(ledgerFile_,
                               ToQString(ServerLedgerWithPassword(ledgerFile_.toStdString(), password->toStdString())));
            useLedger(ledgerFile_);
            return;
        }
    }
    inform(OneLine(results.error), results.error != kNoXmlMessage);
    // A ledger just chosen that cannot be read is not kept: the one before it comes back.
    if (!wasAdd && ledgerFile_ != readableLedger_)
        useLedger(readableLedger_);
}

void MainWindow::analyzeLedger() {
    EntrySelection selection;
    RunPeriod period;
    if (busy_ || ledgerJob_.running() ||
        !choosePeriod(ledgerPanel_->period(bankLogPanel_->period(), QDate::currentDate()), selection, period))
        return;
    AnalysisJob::ReportWriter writeReport = beginRun(period);
    job_.start(stats_, AnalysisJob::LedgerFile{ledgerPath().toStdString()}, std::move(writeReport),
               bankLogPanel_->lookUpItems() ? services_.priceSource : AnalysisJob::PriceSourceFactory{}, selection);
}

} // namespace coffer
