// SPDX-License-Identifier: MIT
#pragma once
// The window's analysis runs, on the bank log box's text or on a period of the guild ledger: the run
// empties the lists and shows its progress, Cancel puts back at once what the run replaced, and a run
// that ends takes its tables into the lists and puts its report in place. It owns the run's job.

#include "report/html_report.h"
#include "ui/base/activity.h"
#include "ui/stats/analysis_job.h"
#include "ui/stats/stats_list_view.h"

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace coffer {

class BankLogPanel;
class PendingReport;
class StatsPanel;
class StatsTableModel;

// The period of a run as the report states it (locale's short dates); empty: every entry.
struct RunPeriod {
    std::string from, to;
    std::optional<TimeRange> range = {}; // the local days from and to; none for every entry
};

class RunController : public QObject {
    Q_OBJECT
  public:
    // Where a run shows its work: the window's tables, their lists and status bar, and the window.
    struct Window {
        GuildStats& stats;
        StatsTableModel& members;
        StatsTableModel& items;
        StatsPanel& panel;
        BankLogPanel& log;
        std::filesystem::path workFolder;
        std::filesystem::path reportPath;
        AnalysisJob::PriceSourceFactory priceSource; // for runs with "Look up item values" ticked
        std::function<void()> showLists;             // the Bank Stats panel
        std::function<void()> showReport;            // the report just written
        std::function<void(const QString& text, bool warning)> inform;
    };
    // The report a run writes: its settings, or why it cannot be written.
    struct Report {
        std::optional<ReportSettings> settings;
        std::string error;
    };

    RunController(Window window, ActivityState& activity, QObject* parent = nullptr);
    ~RunController() override;

    // Each starts a run when the window is idle.
    void analyseText(const EntrySelection& selection, const RunPeriod& period, Report report);
    void analyseLedger(const std::string& file, const EntrySelection& selection, const RunPeriod& period,
                       Report report);
    // The window is at once as it was before the run; the run itself ends in the background.
    void cancel();
    // The period of the lists shown, for Refresh.
    const RunPeriod& shownPeriod() const { return shownPeriod_; }
    const AnalysisJob& job() const { return job_; }

  private:
    // Empties the lists (kept aside for Cancel) and shows the run's progress; gives its report writer.
    AnalysisJob::ReportWriter begin(const RunPeriod& period, Report report);
    void start(AnalysisJob::Source source, AnalysisJob::ReportWriter writeReport, const EntrySelection& selection);
    void putBack();
    void end();
    void takeIn(); // the finished run's results in place of the lists, or a cancelled run's end

    Window window_;
    ActivityState& activity_;
    // The run in progress: what it replaced, so that Cancel can put it back as it was, and its report.
    struct Run {
        GuildStats before;
        StatsListView::ViewState members, items;
        QPointer<QWidget> focus;
        RunPeriod period;
        std::unique_ptr<PendingReport> report; // outlives the job's thread
    };
    std::unique_ptr<Run> run_;
    RunPeriod shownPeriod_;
    AnalysisJob job_;
};

} // namespace coffer
