// SPDX-License-Identifier: MIT
#include "ui/stats/analysis_job.h"

#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"

#include <QElapsedTimer>

#include <new>
#include <string_view>

namespace coffer {
namespace {

constexpr qint64 kProgressIntervalMs = 250;

void EmptyTables(GuildStats& stats) {
    stats.members.clear();
    stats.items.clear();
    stats.guild = {};
}

// Where reading the ledger ends on the progress bar, by its share of a run's time on a ledger of a
// million entries (bench_ledger: 1.4 s, of which the analysis of what was read takes 0.5 s).
constexpr int kLedgerReadEnd = 65;

// The ledger's entries of the period, with those of a time outside it counted as outside the period;
// `undated` takes those without a time that the period left out.
AnalysisResult RunOnLedger(const std::string& file, GuildStats& stats, const AnalysisHooks& hooks,
                           std::uint64_t& undated) {
    const auto tell = [&hooks](int percent) {
        if (hooks.progress)
            hooks.progress(percent);
    };
    const LedgerLog log = ReadLedgerLog(*OpenExistingLedger(file), hooks.selection.period,
                                        {[&tell](double share) { tell(static_cast<int>(share * kLedgerReadEnd)); },
                                         hooks.stop}); // closed before the long part
    if (hooks.stop.stop_requested())
        return {.outcome = AnalysisOutcome::Cancelled, .message = {}};
    AnalysisHooks analysis = hooks;
    analysis.progress = [&tell](int percent) { tell(kLedgerReadEnd + percent * (100 - kLedgerReadEnd) / 100); };
    AnalysisResult result = RunAnalysisInPlace(log.text, stats, analysis);
    result.outsidePeriod += log.leftOut;
    undated = log.undated;
    return result;
}

} // namespace

AnalysisJob::AnalysisJob(QObject* parent) : QObject(parent) {
    connect(&worker_, &WorkerThread::finished, this, &AnalysisJob::finished);
}

void AnalysisJob::start(const GuildStats& tables, Source source, ReportWriter writeReport, PriceSourceFactory prices,
                        EntrySelection selection) {
    if (worker_.running())
        return;
    results_ = {};
    worker_.start([this, stats = std::make_shared<GuildStats>(tables), source = std::move(source),
                   writeReport = std::move(writeReport), prices = std::move(prices),
                   selection](std::stop_token stop) mutable {
        run(std::make_unique<GuildStats>(std::move(*stats)), source, writeReport, prices, selection, stop);
    });
}

void AnalysisJob::run(std::unique_ptr<GuildStats> stats, const Source& source, const ReportWriter& writeReport,
                      const PriceSourceFactory& prices, const EntrySelection& selection, std::stop_token stop) {
    AnalysisHooks hooks;
    hooks.selection = selection;
    hooks.showStatus = [this](const std::string& status) {
        worker_.post([this, text = QString::fromStdString(status)] { emit statusChanged(text); });
    };
    // Every share shown repaints the window, which costs it far more than a glance at the bar gains: it
    // moves at most once per interval, and to the end at once.
    hooks.progress = [this, sinceShown = QElapsedTimer()](int percent) mutable {
        if (sinceShown.isValid() && sinceShown.elapsed() < kProgressIntervalMs && percent < 100)
            return;
        sinceShown.start();
        worker_.post([this, percent] { emit progressChanged(percent); });
    };
    hooks.stop = std::move(stop);
    hooks.generateReport = [&writeReport, &stats](const StepProgress& progress) {
        return writeReport(*stats, progress);
    };
    std::string joined;
    // The message of a run that ran out of memory, room for it taken now, while memory can be had.
    static constexpr char kOutOfMemory[] = "The analysis stopped: there is not enough memory for this log.";
    results_.failure.reserve(sizeof kOutOfMemory);
    try {
        std::unique_ptr<ItemPriceSource> priceSource = prices ? prices(hooks) : nullptr;
        hooks.itemPrices = priceSource.get();
        if (const auto* box = std::get_if<BoxLog>(&source))
            results_.result = RunAnalysis(JoinedText(box->text, joined), *stats, box->workFolder, hooks);
        else
            results_.result = RunOnLedger(std::get<LedgerFile>(source).path, *stats, hooks, results_.undatedLeftOut);
    } catch (const std::bad_alloc&) {
        EmptyTables(*stats);
        results_.failure = kOutOfMemory;
    } catch (const std::exception& error) {
        EmptyTables(*stats);
        results_.failure = std::string("The analysis stopped: ") + error.what();
    }
    results_.stats = std::move(stats);
}

AnalysisJob::Results AnalysisJob::takeResults() {
    return std::move(results_);
}

} // namespace coffer
