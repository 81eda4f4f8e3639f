// SPDX-License-Identifier: MIT
#pragma once
// The Charts tab of the Report panel: the chart type box ("Display:"), "Print Chart", "Save Chart"
// and the chart itself. Picking a chart type draws that chart from the member table; typing into the
// box draws nothing. However many members there are, each bar keeps room for its name: the chart shows
// the bars that fit, a scroll bar under it moves along the rest, and printing and saving take what
// the tab shows.

#include "analysis/tables/stats_table.h"
#include "analysis/tables/weekly_activity.h"

#include <QPrinter>
#include <QWidget>

#include <functional>
#include <memory>

class QChartView;
class QComboBox;
class QScrollBar;

namespace coffer {

class BarChart;
class UserDialogs;

// Runs a sort on the member table in such a way that the lists showing the table hear of the new order.
using MemberTableSort = std::function<void(const std::function<void(StatsTable&)>& sort)>;

class ChartPanel : public QWidget {
    Q_OBJECT
  public:
    // Drawing sorts the member table through `sortMembers` and leaves it in the charted order.
    // The weekly charts read the last run's activity through `activity`.
    using ActivitySource = std::function<const WeeklyActivity&()>;
    // The system's default printer, ready to print on; null (or no function) when there is none.
    using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;
    // Why a file may not be written (the ledger in use is never replaced); empty when it may.
    using OutputRefusal = std::function<QString(const QString& file)>;
    // Questions and messages go through the window's dialogs, under its title.
    ChartPanel(MemberTableSort sortMembers, ActivitySource activity, UserDialogs& dialogs, QString dialogTitle,
               PrinterSource defaultPrinter, OutputRefusal refuseOutput, QWidget* parent = nullptr);

    // The chart drawn after every report: "Deposits", whatever the chart type box shows, which keeps
    // its text.
    void drawDepositsChart();
    // The entry (1 for the first) last picked in the chart type box, 0 for none.
    int chosenChart() const;
    // Shows an entry as picked, drawing nothing.
    void showChosenChart(int entry);
    // Where Save Chart last saved, and so suggests saving next.
    QString saveFolder() const { return saveFolder_; }
    void setSaveFolder(const QString& folder) { saveFolder_ = folder; }

  signals:
    void chartSaved(const QString& file); // Save Chart wrote the chart to `file`

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QComboBox* makeChartTypeBox();
    void draw(int entry);
    void printChart();
    void saveChart();
    void inform(const QString& text);
    void fitScrollBarToChart();

    QComboBox* chartType_ = nullptr;
    MemberTableSort sortMembers_;
    ActivitySource activity_;
    UserDialogs& dialogs_;
    QString dialogTitle_;
    PrinterSource defaultPrinter_;
    OutputRefusal refuseOutput_;
    BarChart* chart_;
    QChartView* view_;
    QScrollBar* scroll_;
    bool finishingEdit_ = false;
    int chosen_ = 0;
    QString saveFolder_; // of the last Save Chart; empty: where the dialog likes
};

} // namespace coffer
