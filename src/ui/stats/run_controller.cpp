// SPDX-License-Identifier: MIT
#include "ui/stats/run_controller.h"

#include "ledger/ledger_actions.h"
#include "report/report_file.h"
#include "ui/base/engine_text.h"
#include "ui/log/bank_log_panel.h"
#include "ui/stats/pending_report.h"
#include "ui/stats/stats_panel.h"
#include "ui/stats/stats_table_model.h"

#include <QApplication>
#include <QStringList>

namespace coffer {

RunController::RunController(Window window, ActivityState& activity, QObject* parent)
    : QObject(parent), window_(std::move(window)), activity_(activity) {
    // What a cancelled run still tells on its way out is no longer the window's news.
    connect(&job_, &AnalysisJob::statusChanged, this, [this](const QString& text) {
        if (activity_.foreground() != Activity::Cancelling)
            window_.panel.showStatus(text);
    });
    connect(&job_, &AnalysisJob::progressChanged, this, [this](int percent) {
        if (activity_.foreground() != Activity::Cancelling)
            window_.panel.showProgress(percent);
    });
    // A click on Cancel made while it showed still cancels when the run ended just before the click was
    // handled: the run's end is taken in after the input already waiting.
    connect(&job_, &AnalysisJob::finished, this,
            [this] { QMetaObject::invokeMethod(this, &RunController::takeIn, Qt::QueuedConnection); });
}

RunController::~RunController() = default;

void RunController::analyseText(const EntrySelection& selection, const RunPeriod& period, Report report) {
    if (!activity_.idle())
        return;
    AnalysisJob::ReportWriter writeReport = begin(period, std::move(report));
    // Reading a large text takes a while: the window keeps answering, "Cancel" included, and the text
    // stays as it is.
    LogText text = window_.log.textWhileAnswering([this] { return !activity_.stopping(); });
    if (activity_.stopping()) {
        end();
        return;
    }
    start(AnalysisJob::BoxLog{std::move(text), window_.workFolder}, std::move(writeReport), selection);
}

void RunController::analyseLedger(const std::string& file, const EntrySelection& selection, const RunPeriod& period,
                                  Report report) {
    if (!activity_.idle())
        return;
    AnalysisJob::ReportWriter writeReport = begin(period, std::move(report));
    start(AnalysisJob::LedgerFile{file}, std::move(writeReport), selection);
}

// The run starts from the window's tables, so that their sort state carries over as it would if the run
// filled them in place.
void RunController::start(AnalysisJob::Source source, AnalysisJob::ReportWriter writeReport,
                          const EntrySelection& selection) {
    job_.start(window_.stats, std::move(source), std::move(writeReport),
               window_.log.lookUpItems() ? window_.priceSource : AnalysisJob::PriceSourceFactory{}, selection);
}

AnalysisJob::ReportWriter RunController::begin(const RunPeriod& period, Report report) {
    run_ = std::make_unique<Run>();
    run_->focus = QApplication::focusWidget();
    run_->members = window_.panel.memberList()->viewState();
    run_->items = window_.panel.itemList()->viewState();
    run_->period = period;
    window_.showLists();
    // The lists are kept aside, so that a cancelled run can put them back as they were.
    GuildStats& before = run_->before;
    window_.members.replace([&before](StatsTable& table) {
        before.members = std::exchange(table, table.withoutRows());
        table.setSorted(false);
    });
    window_.items.replace([&before](StatsTable& table) { before.items = std::exchange(table, table.withoutRows()); });
    before.guild = std::exchange(window_.stats.guild, {});
    before.activity = std::exchange(window_.stats.activity, {});
    activity_.begin(Activity::Analysing);
    window_.panel.showStatus({}); // the last run's "Complete" or "Cancelled" is not this run's news
    window_.panel.showRunProgress(true);

    run_->report = std::make_unique<PendingReport>(window_.reportPath);
    return [settings = std::move(report.settings), error = std::move(report.error),
            path = run_->report->path()](GuildStats& stats, const StepProgress& progress) {
        return settings ? GenerateReport(stats, *settings, path, progress) : error;
    };
}

void RunController::cancel() {
    if (!run_ || activity_.foreground() != Activity::Analysing)
        return;
    activity_.cancel();
    job_.cancel();
    // The status bar says so on screen first: putting back the lists of a big log takes a moment.
    window_.panel.showStatus(QStringLiteral("Cancelled"));
    window_.panel.hideRunProgress();
    putBack();
}

void RunController::putBack() {
    GuildStats& before = run_->before;
    window_.members.replace([&before](StatsTable& table) { table = std::move(before.members); });
    window_.items.replace([&before](StatsTable& table) { table = std::move(before.items); });
    window_.stats.guild = std::move(before.guild);
    window_.stats.activity = std::move(before.activity);
    window_.panel.memberList()->restoreViewState(run_->members);
    window_.panel.itemList()->restoreViewState(run_->items);
}

void RunController::end() {
    const bool cancelled = activity_.foreground() == Activity::Cancelling;
    run_->report.reset();
    activity_.end();
    if (cancelled && run_->focus)
        run_->focus->setFocus(Qt::OtherFocusReason);
    run_.reset();
}

void RunController::takeIn() {
    AnalysisJob::Results results = job_.takeResults();
    if (activity_.foreground() == Activity::Analysing && results.failure.empty() &&
        results.result.outcome == AnalysisOutcome::Cancelled)
        cancel();                                        // stopped from elsewhere
    if (activity_.foreground() != Activity::Analysing) { // cancelled, or the window is closing
        end();
        return;
    }
    // From here on the run cannot be cancelled: Cancel leaves the screen before the lists are filled.
    StatsPanel& panel = window_.panel;
    panel.hideRunProgress();
    window_.members.replace([&](StatsTable& table) { table = std::move(results.stats->members); });
    window_.items.replace([&](StatsTable& table) { table = std::move(results.stats->items); });
    window_.stats.guild = results.stats->guild;
    window_.stats.activity = std::move(results.stats->activity);
    AnalysisResult& result = results.result;
    if (result.outcome == AnalysisOutcome::Complete)
        if (std::string error = run_->report->putInPlace(); !error.empty()) {
            panel.showStatus(ToQString(error));
            result.outcome = AnalysisOutcome::ReportFailed; // the counts of the run stay to be shown
            result.message = error;
        }
    shownPeriod_ = run_->period;
    end();

    if (!results.failure.empty()) {
        window_.inform(ToQString(results.failure), true);
        return;
    }
    if (result.outcome == AnalysisOutcome::Complete)
        window_.showReport();
    else
        window_.inform(ToQString(result.message), result.outcome != AnalysisOutcome::NoXmlData);
    // What the selection left out, and pages pasted over each other, after the run's last status.
    QStringList counts{panel.statusText()};
    if (result.outsidePeriod > 0)
        counts << ToQString(OutsidePeriodText(result.outsidePeriod));
    if (results.undatedLeftOut > 0)
        counts << ToQString(UndatedLeftOutText(results.undatedLeftOut));
    if (result.repeatedEntries > 0) {
        counts << ToQString(RepeatedEntriesText(result.repeatedEntries));
        window_.log.offerRepeatedOnce();
    }
    for (const std::string& text : LeftOutTexts(result))
        counts << ToQString(text);
    panel.showStatus(counts.join(QStringLiteral(". ")));
}

} // namespace coffer
