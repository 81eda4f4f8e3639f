#pragma once
// The Charts tab of the Report panel: the chart type box ("Display:"), "Print Chart", "Save Chart"
// and the chart itself. Picking a chart type draws that chart from the member table; typing into the
// box draws nothing.

#include "analysis/stats_table.h"
#include "ui/charts/chart_services.h"

#include <QWidget>

class QChartView;
class QComboBox;

namespace coffer {

class BarChart;

class ChartPanel : public QWidget {
    Q_OBJECT
  public:
    // The member table must outlive the panel; drawing sorts it.
    ChartPanel(StatsTable& members, ChartServices services, QWidget* parent = nullptr);

    // The chart drawn after every report: "Deposits", whatever the chart type box shows, which keeps
    // its text.
    void DrawDepositsChart();

  signals:
    // A drawing has sorted the member table on the charted column; it stays in that order.
    void memberTableSorted();

  private:
    QComboBox* makeChartTypeBox();
    void draw(int entry);
    void printChart();
    void saveChart();

    StatsTable& members_;
    ChartServices services_;
    BarChart* chart_;
    QChartView* view_;
    bool finishingEdit_ = false;
};

} // namespace coffer
