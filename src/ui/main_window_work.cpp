// MainWindow's work: importing a bank log file, the analysis run, and refreshing and saving the report.

#include "ui/main_window.h"

#include "ledger/ledger_actions.h"
#include "ledger/ledger_output_check.h"
#include "report/html_report.h"
#include "report/report_file.h"
#include "report/table_export.h"
#include "shell/file_exists.h"
#include "shell/qt/local_days.h"
#include "ui/bank_log_panel.h"
#include "ui/base/user_dialogs.h"
#include "ui/engine_text.h"
#include "ui/pending_report.h"
#include "ui/report_copy.h"
#include "ui/report_panel.h"
#include "ui/stats_panel.h"
#include "ui/stats_table_model.h"
#include "ui/throttled_event_pump.h"

#include <QApplication>
#include <QDateTime>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string_view>

namespace coffer {
namespace {

// A file is read in steps of this size, so that the window answers in between.
constexpr qint64 kReadStepBytes = 1024 * 1024;

// Text without an XML declaration in its first 64 KiB that holds NUL bytes there is likely some other file.
bool LooksBinary(std::string_view content) {
    const std::string_view head = content.substr(0, 64 * 1024);
    return head.find("?xml") == std::string_view::npos && head.find('\0') != std::string_view::npos;
}

std::string ReportDateText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    return (locale.toString(now.date(), QLocale::ShortFormat) + u' ' + locale.toString(now.time(), QLocale::LongFormat))
        .toStdString();
}

// Why a section limit was refused; `what` is "players" or "items".
QString SectionLimitMessage(const QString& text, const SectionLimit& limit, const QString& what) {
    if (limit.fault == SectionLimit::Fault::NotANumber)
        return QStringLiteral("\"%1\" is not a number. Please enter a whole number of %2 per section.").arg(text, what);
    return QStringLiteral("\"%1\" is out of range. Please enter a whole number of %2 per section from %3 to %4.")
        .arg(text, what)
        .arg(kMinSectionLimit)
        .arg(kMaxSectionLimit);
}

} // namespace

void MainWindow::importLog() {
    if (busy_)
        return;
    const QString name = services_.dialogs->openFileName(
        this, QStringLiteral("Import Bank Log"),
        importFolder_.isEmpty() ? ToQString(settings_.programFolder.string()) : importFolder_);
    if (name.isEmpty() || !FileExists(name.toStdString()))
        return;
    importFile(name);
}

bool MainWindow::importFile(const QString& name) {
    importFolder_ = QFileInfo(name).absolutePath();
    setBusy(true);
    bankLogPanel_->setImporting(true);
    const auto done = qScopeGuard([this] {
        bankLogPanel_->setImporting(false);
        setBusy(false); // "Analyze now" comes back at the very end
    });
    ThrottledEventPump pump;
    // The whole file is read before anything is added, so that a failed read changes nothing.
    QFile file(name);
    std::string content;
    // A log beyond the limit is refused by its size, and an endless one (a device, a pipe) as it is read.
    const auto tooLarge = [&] { return std::max<std::uint64_t>(file.size(), content.size()) > kMaxLogBytes; };
    if (file.open(QIODevice::ReadOnly) && !tooLarge()) {
        try {
            // Room for the whole file at once (and the byte the text box's copy needs): no step copies it.
            content.reserve(static_cast<std::size_t>(file.size()) + 1);
            while (!tooLarge() && !file.atEnd() && file.error() == QFileDevice::NoError &&
                   !bankLogPanel_->importCancelled() && !closing_) {
                const std::size_t start = content.size();
                const qint64 left = file.size() - static_cast<qint64>(start);
                content.resize(start +
                               static_cast<std::size_t>(left > 0 ? std::min(left, kReadStepBytes) : kReadStepBytes));
                const qint64 got = file.read(content.data() + start, static_cast<qint64>(content.size() - start));
                content.resize(start + static_cast<std::size_t>(std::max<qint64>(got, 0)));
                pump();
            }
        } catch (const std::bad_alloc&) { // an endless file: the memory it took is given back first
            std::string().swap(content);
            inform(QStringLiteral("The file is too large to import: there is not enough memory."), true);
            return false;
        }
    }
    if (bankLogPanel_->importCancelled() || closing_)
        return false;
    if (tooLarge()) {
        std::string().swap(content);
        inform(QStringLiteral("The file %1 is larger than 4 GiB and cannot be imported.").arg(name), true);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        inform(QStringLiteral("The file %1 could not be read: %2").arg(name, file.errorString()), true);
        return false;
    }
    if (LooksBinary(content) &&
        !services_.dialogs->confirm(this, ToQString(settings_.product.programName),
                                    QStringLiteral("This file does not look like a bank log. Import it anyway?"),
                                    UserDialogs::Buttons::YesNo))
        return false;
    return bankLogPanel_->appendImport(std::move(content), name, [this, &pump] {
        pump();
        return !closing_;
    });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* drag = dynamic_cast<QDropEvent*>(event); // also the drag's entering and moving
    if (drag == nullptr || !drag->mimeData()->hasUrls())
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::Drop)
        dropEvent(drag);
    else
        drag->acceptProposedAction();
    return true;
}

// Dropped files are imported one after another, in the order given, each as "Import File" would.
void MainWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile() && FileExists(url.toLocalFile().toStdString()))
            files << url.toLocalFile();
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    importFiles(files);
}

void MainWindow::importFiles(const QStringList& files) {
    if (busy_) {
        statsPanel_->showStatus(
            QStringLiteral("Files cannot be imported while an import or an analysis is in progress."));
        return;
    }
    showPanel(bankLogPanel_);
    for (const QString& file : files)
        if (!importFile(file) && (closing_ || bankLogPanel_->importCancelled()))
            return; // the files after a cancelled one are not wanted either
}

void MainWindow::analyzeNow() {
    EntrySelection selection;
    RunPeriod period;
    if (busy_ || !choosePeriod(bankLogPanel_->period(), selection, period))
        return;
    selection.countRepeatedOnce = bankLogPanel_->countRepeatedOnce();
    AnalysisJob::ReportWriter writeReport = beginRun(period);
    // Reading a large text takes a while: the window keeps answering, "Cancel" included, and the text
    // stays as it is.
    ThrottledEventPump pump;
    LogText text = bankLogPanel_->textUtf8([this, &pump] {
        pump();
        return !runCancelled_ && !closing_;
    });
    if (runCancelled_ || closing_) {
        endRun();
        return;
    }
    // The run starts from the window's tables, so that their sort state carries over as it would if the
    // run filled them in place.
    job_.start(stats_, AnalysisJob::BoxLog{std::move(text), settings_.workFolder}, std::move(writeReport),
               bankLogPanel_->lookUpItems() ? services_.priceSource : AnalysisJob::PriceSourceFactory{}, selection);
}

bool MainWindow::choosePeriod(const std::optional<std::pair<QDate, QDate>>& days, EntrySelection& selection,
                              RunPeriod& period) {
    if (!days)
        return true;
    const auto [first, last] = *days;
    period = {ShortDate(first), ShortDate(last)};
    if (last < first) {
        inform(QStringLiteral("The period ends on %1, before it starts on %2. Please choose a last day on or "
                              "after the first.")
                   .arg(ToQString(period.to), ToQString(period.from)));
        return false;
    }
    selection.period = LocalDaysRange(ToLocalDate(first), ToLocalDate(last));
    return true;
}

AnalysisJob::ReportWriter MainWindow::beginRun(const RunPeriod& period) {
    beforeRun_ = std::make_unique<BeforeRun>();
    beforeRun_->focus = QApplication::focusWidget();
    beforeRun_->members = statsPanel_->memberList()->viewState();
    beforeRun_->items = statsPanel_->itemList()->viewState();
    runCancelled_ = false;
    showBankStats();
    // The lists are kept aside, so that a cancelled run can put them back as they were.
    GuildStats& before = beforeRun_->stats;
    memberModel_->replace([&before](StatsTable& table) {
        before.members = std::exchange(table, table.withoutRows());
        table.setSorted(false);
    });
    itemModel_->replace([&before](StatsTable& table) { before.items = std::exchange(table, table.withoutRows()); });
    before.guild = std::exchange(stats_.guild, {});
    before.activity = std::exchange(stats_.activity, {});
    runPeriod_ = period;
    setBusy(true);
    statsPanel_->showStatus({}); // the last run's "Complete" or "Cancelled" is not this run's news
    statsPanel_->showRunProgress(true);

    QString limitError;
    std::optional<ReportSettings> report = reportSettings(&limitError);
    if (report) {
        report->periodFrom = period.from;
        report->periodTo = period.to;
    }
    pendingReport_ = std::make_unique<PendingReport>(reportPath());
    return [report, error = limitError.toStdString(), path = pendingReport_->path()](GuildStats& stats,
                                                                                     const StepProgress& progress) {
        return report ? GenerateReport(stats, *report, path, progress) : error;
    };
}

// The window is at once as it was before the run; the run itself ends in the background, and the
// buttons come back when it has.
void MainWindow::cancelRun() {
    if (!beforeRun_ || runCancelled_)
        return;
    runCancelled_ = true;
    job_.cancel();
    // The status bar says so on screen first: putting back the lists of a big log takes a moment.
    statsPanel_->showStatus(QStringLiteral("Cancelled"));
    statsPanel_->hideRunProgress();
    putBackBeforeRun();
}

void MainWindow::putBackBeforeRun() {
    GuildStats& before = beforeRun_->stats;
    memberModel_->replace([&before](StatsTable& table) { table = std::move(before.members); });
    itemModel_->replace([&before](StatsTable& table) { table = std::move(before.items); });
    stats_.guild = std::move(before.guild);
    stats_.activity = std::move(before.activity);
    statsPanel_->memberList()->restoreViewState(beforeRun_->members);
    statsPanel_->itemList()->restoreViewState(beforeRun_->items);
}

void MainWindow::endRun() {
    pendingReport_.reset();
    setBusy(false);
    if (runCancelled_ && beforeRun_->focus)
        beforeRun_->focus->setFocus(Qt::OtherFocusReason);
    beforeRun_.reset();
}

// A click on Cancel made while it showed still cancels when the run ended just before the click was
// handled: the run's end is taken in after the input already waiting.
void MainWindow::onAnalysisFinished() {
    QMetaObject::invokeMethod(this, &MainWindow::takeInRun, Qt::QueuedConnection);
}

void MainWindow::takeInRun() {
    AnalysisJob::Results results = job_.takeResults();
    if (!runCancelled_ && results.failure.empty() && results.result.outcome == AnalysisOutcome::Cancelled)
        cancelRun(); // stopped from elsewhere
    if (runCancelled_) {
        endRun();
        return;
    }
    // From here on the run cannot be cancelled: Cancel leaves the screen before the lists are filled.
    statsPanel_->hideRunProgress();
    memberModel_->replace([&](StatsTable& table) { table = std::move(results.stats->members); });
    itemModel_->replace([&](StatsTable& table) { table = std::move(results.stats->items); });
    stats_.guild = results.stats->guild;
    stats_.activity = std::move(results.stats->activity);
    AnalysisResult& result = results.result;
    if (result.outcome == AnalysisOutcome::Complete)
        if (std::string error = pendingReport_->putInPlace(); !error.empty()) {
            statsPanel_->showStatus(ToQString(error));
            result.outcome = AnalysisOutcome::ReportFailed; // the counts of the run stay to be shown
            result.message = error;
        }
    endRun();
    shownPeriod_ = runPeriod_;

    if (!results.failure.empty()) {
        inform(ToQString(results.failure), true);
        return;
    }
    if (result.outcome == AnalysisOutcome::Complete)
        showWrittenReport();
    else
        inform(ToQString(result.message), result.outcome != AnalysisOutcome::NoXmlData);
    // What the selection left out, and pages pasted over each other, after the run's last status.
    QStringList counts{statsPanel_->statusText()};
    if (result.outsidePeriod > 0)
        counts << ToQString(OutsidePeriodText(result.outsidePeriod));
    if (results.undatedLeftOut > 0)
        counts << ToQString(UndatedLeftOutText(results.undatedLeftOut));
    if (result.repeatedEntries > 0) {
        counts << ToQString(RepeatedEntriesText(result.repeatedEntries));
        bankLogPanel_->offerRepeatedOnce();
    }
    for (const std::string& text : LeftOutTexts(result))
        counts << ToQString(text);
    statsPanel_->showStatus(counts.join(QStringLiteral(". ")));
}

std::optional<ReportSettings> MainWindow::reportSettings(QString* error) const {
    const QString playersText = reportPanel_->playersPerSection();
    const QString itemsText = reportPanel_->itemsPerSection();
    const SectionLimit players = ParseSectionLimit(playersText.toStdString());
    const SectionLimit items = ParseSectionLimit(itemsText.toStdString());
    const bool playersRefused = players.fault != SectionLimit::Fault::None;
    if (playersRefused || items.fault != SectionLimit::Fault::None) {
        *error = SectionLimitMessage(playersRefused ? playersText : itemsText, playersRefused ? players : items,
                                     playersRefused ? QStringLiteral("players") : QStringLiteral("items"));
        return std::nullopt;
    }
    return ReportSettings{players.value,
                          items.value,
                          settings_.armoryBase,
                          settings_.itemDatabaseBase,
                          settings_.product.programName,
                          settings_.product.website,
                          ReportDateText(),
                          shownPeriod_.from,
                          shownPeriod_.to};
}

void MainWindow::refreshReport() {
    if (busy_)
        return;
    QString error;
    const std::optional<ReportSettings> report = reportSettings(&error);
    if (!report) {
        inform(error);
        return;
    }
    std::string writeError;
    // The report ranks by sorting both tables: the lists hear of the new order.
    memberModel_->reorder([&](StatsTable&) {
        itemModel_->reorder([&](StatsTable&) { writeError = GenerateReport(stats_, *report, reportPath()); });
    });
    if (!writeError.empty()) {
        inform(QStringLiteral("Error: ") + ToQString(writeError), true);
        return;
    }
    showWrittenReport();
}

void MainWindow::showWrittenReport() {
    showReport();
    reportPanel_->showReport(QUrl::fromLocalFile(ToQString(reportPath().string())));
    emit reportWritten();
}

void MainWindow::saveReportAs() {
    if (busy_)
        return;
    if (!FileExists(reportPath().string())) {
        inform(QStringLiteral("There is no report to save yet. Click \"Analyze now\" first."));
        return;
    }
    QString name = services_.dialogs->saveFileName(this, QStringLiteral("HTML Files (*.htm *.html)"), saveAsFolder_);
    if (name.isEmpty() || name == u" ")
        return;
    name = WithHtmExtension(name);
    saveAsFolder_ = QFileInfo(name).absolutePath();
    if (refusesLedgerOutput(name) || !mayReplace(name))
        return;
    if (const std::string error = CopyReport(reportPath(), name.toStdString()); !error.empty())
        inform(QStringLiteral("Error: ") + ToQString(error), true);
}

// True when nothing is at `name`, or the user agrees to replace it.
bool MainWindow::mayReplace(const QString& name) {
    return !FileExists(name.toStdString()) ||
           services_.dialogs->confirm(this, ToQString(settings_.product.programName),
                                      QStringLiteral("File already exists.  Are you sure you want to overwrite it?"));
}

QString MainWindow::ledgerOutputRefusal(const QString& name) const {
    return ToQString(LedgerOutputRefusal(name.toStdString(), name.toStdString(), ledgerPath().toStdString()));
}

bool MainWindow::refusesLedgerOutput(const QString& name) {
    const QString refusal = ledgerOutputRefusal(name);
    if (!refusal.isEmpty())
        inform(refusal, true);
    return !refusal.isEmpty();
}

// The whole list in its current order, whatever its search hides.
void MainWindow::exportList(const StatsTableModel* list) {
    if (busy_ || list->table().rowCount() == 0)
        return;
    const QString title =
        list == memberModel_ ? QStringLiteral("Export Member List as CSV") : QStringLiteral("Export Item List as CSV");
    const QString name =
        services_.dialogs->saveFileName(this, QStringLiteral("CSV Files (*.csv)"), exportFolder_, title);
    if (name.isEmpty())
        return;
    exportFolder_ = QFileInfo(name).absolutePath();
    if (refusesLedgerOutput(name) || !mayReplace(name))
        return;
    if (const std::string error = WriteFileReplacing(name.toStdString(), TableText(list->table(), TableFormat::Csv));
        !error.empty())
        inform(QStringLiteral("Error: ") + ToQString(error), true);
}

} // namespace coffer
