// SPDX-License-Identifier: MIT
#pragma once
// Runs one analysis on a worker thread so that the window stays responsive however long the log.
// The run fills tables of its own; the window takes them when the run has finished, so the shown
// tables never change under the views. Status texts arrive on the window's thread, in order, before
// `finished`.

#include "analysis/analysis_run.h"
#include "ui/base/log_text.h"
#include "ui/base/worker_thread.h"

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace coffer {

class AnalysisJob : public QObject {
    Q_OBJECT
  public:
    // Writes the report from the finished tables (on the worker thread), telling where it stands; an
    // error message or "".
    using ReportWriter = std::function<std::string(GuildStats&, const StepProgress&)>;
    // Makes the item price source of a run with the item lookup on, on the worker thread; it may use
    // the run's hooks to show its status texts.
    using PriceSourceFactory = std::function<std::unique_ptr<ItemPriceSource>(const AnalysisHooks&)>;

    // What a run reads: the bank log box's text, analysed through a temporary copy in the work folder,
    // or the entries of a ledger file in the run's period, read on the worker thread where they lie.
    struct BoxLog {
        LogText text;
        std::filesystem::path workFolder;
    };
    struct LedgerFile {
        std::string path;
    };
    using Source = std::variant<BoxLog, LedgerFile>;

    struct Results {
        std::unique_ptr<GuildStats> stats; // the run's tables and guild identity
        AnalysisResult result;
        std::string failure;              // set when the run stopped on an unexpected error; tables then empty
        std::uint64_t undatedLeftOut = 0; // a ledger's entries without a time, which a period leaves out
    };

    explicit AnalysisJob(QObject* parent = nullptr);

    // Starts a run on a copy of `tables` (their rows are emptied by the run; their sort state carries
    // over); `prices` is empty when items are not looked up. Ignored while a run is going.
    void start(const GuildStats& tables, Source source, ReportWriter writeReport, PriceSourceFactory prices,
               EntrySelection selection = {});

    // Stops the run in progress as soon as it can; it then finishes as cancelled.
    void cancel() { worker_.stop(); }
    // Blocks until the run's thread has ended, without stopping it; `finished` then waits in the queue.
    void waitForEnd() const { worker_.waitForEnd(); }

    // The finished run's results; call once after `finished`.
    Results takeResults();

  signals:
    void statusChanged(const QString& text);
    void progressChanged(int percent); // the share of the run done
    void finished();

  private:
    void run(std::unique_ptr<GuildStats> stats, const Source& source, const ReportWriter& writeReport,
             const PriceSourceFactory& prices, const EntrySelection& selection, std::stop_token stop);

    Results results_;
    WorkerThread worker_; // last: it ends the work, which fills the results, before they go
};

} // namespace coffer
