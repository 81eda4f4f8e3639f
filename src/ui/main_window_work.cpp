// SPDX-License-Identifier: MIT
// MainWindow's work: importing a bank log file, starting an analysis run, and refreshing the report.

#include "ui/main_window.h"

#include "report/html_report.h"
#include "report/report_file.h"
#include "shell/file_exists.h"
#include "shell/qt/local_days.h"
#include "ui/base/engine_text.h"
#include "ui/base/throttled_event_pump.h"
#include "ui/base/user_dialogs.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/ledger/ledger_panel.h"
#include "ui/log/bank_log_panel.h"
#include "ui/report_panel.h"
#include "ui/stats/stats_panel.h"
#include "ui/stats/stats_table_model.h"

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
    if (!activity_.idle())
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
    activity_.begin(Activity::Importing);
    bankLogPanel_->setImporting(true);
    const auto done = qScopeGuard([this] {
        bankLogPanel_->setImporting(false);
        activity_.end(); // "Analyze now" comes back at the very end
    });
    const auto closing = [this] { return activity_.foreground() == Activity::Closing; };
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
                   !bankLogPanel_->importCancelled() && !closing()) {
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
    if (bankLogPanel_->importCancelled() || closing())
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
    return bankLogPanel_->appendImport(std::move(content), name, [&pump, &closing] {
        pump();
        return !closing();
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
    if (!activity_.idle()) {
        statsPanel_->showStatus(
            QStringLiteral("Files cannot be imported while an import or an analysis is in progress."));
        return;
    }
    showPanel(bankLogPanel_);
    for (const QString& file : files)
        if (!importFile(file) && (activity_.foreground() == Activity::Closing || bankLogPanel_->importCancelled()))
            return; // the files after a cancelled one are not wanted either
}

void MainWindow::analyzeNow() {
    EntrySelection selection;
    RunPeriod period;
    if (!activity_.idle() || !choosePeriod(bankLogPanel_->period(), selection, period))
        return;
    selection.countRepeatedOnce = bankLogPanel_->countRepeatedOnce();
    run_->analyseText(selection, period, runReport(period));
}

void MainWindow::analyzeLedger() {
    EntrySelection selection;
    RunPeriod period;
    if (!activity_.idle() || ledger_->busy() ||
        !choosePeriod(ledgerPanel_->period(bankLogPanel_->period(), QDate::currentDate()), selection, period))
        return;
    run_->analyseLedger(ledger_->path().toStdString(), selection, period, runReport(period));
}

bool MainWindow::choosePeriod(const std::optional<std::pair<QDate, QDate>>& days, EntrySelection& selection,
                              RunPeriod& period) {
    if (!days)
        return true;
    const auto [first, last] = *days;
    period = {.from = ShortDate(first), .to = ShortDate(last)};
    if (last < first) {
        inform(QStringLiteral("The period ends on %1, before it starts on %2. Please choose a last day on or "
                              "after the first.")
                   .arg(ToQString(period.to), ToQString(period.from)));
        return false;
    }
    selection.period = LocalDaysRange(ToLocalDate(first), ToLocalDate(last));
    period.range = selection.period;
    return true;
}

std::optional<ReportSettings> MainWindow::reportSettings(const RunPeriod& period, QString* error) const {
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
    return ReportSettings{.playersPerSection = players.value,
                          .itemsPerSection = items.value,
                          .armoryBase = settings_.armoryBase,
                          .itemDatabaseBase = settings_.itemDatabaseBase,
                          .programName = settings_.product.programName,
                          .website = settings_.product.website,
                          .createdOn = ReportDateText(),
                          .periodFrom = period.from,
                          .periodTo = period.to};
}

RunController::Report MainWindow::runReport(const RunPeriod& period) const {
    QString error;
    std::optional<ReportSettings> settings = reportSettings(period, &error);
    return {std::move(settings), error.toStdString()};
}

void MainWindow::refreshReport() {
    if (!activity_.idle())
        return;
    QString error;
    const std::optional<ReportSettings> report = reportSettings(run_->shownPeriod(), &error);
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

} // namespace coffer
