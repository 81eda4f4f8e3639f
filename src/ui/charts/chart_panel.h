#pragma once
// The Charts tab of the Report panel: the chart type box ("Display:"), "Print Chart", "Save Chart"
// and the chart itself. Picking a chart type draws that chart from the member table; typing into the
// box draws nothing. However many members there are, each bar keeps room for its name: a chart wider
// than the tab scrolls sideways, and printing and saving take the part the tab shows.

#include "analysis/weekly_activity.h"
#include "ui/charts/chart_services.h"

#include <QWidget>

class QChartView;
class QComboBox;
class QScrollArea;

namespace coffer {

class BarChart;

class ChartPanel : public QWidget {
    Q_OBJECT
  public:
    // Drawing sorts the member table through `sortMembers` and leaves it in the charted order.
    // The weekly charts read the last run's activity through `activity`.
    using ActivitySource = std::function<const WeeklyActivity&()>;
    ChartPanel(MemberTableSort sortMembers, ActivitySource activity, ChartServices services, QWidget* parent = nullptr);

    // The chart drawn after every report: "Deposits", whatever the chart type box shows, which keeps
    // its text.
    void DrawDepositsChart();
    // The entry (1 for the first) last picked in the chart type box, 0 for none.
    int chosenChart() const;
    // Shows an entry as picked, drawing nothing.
    void showChosenChart(int entry);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QComboBox* makeChartTypeBox();
    void draw(int entry);
    void printChart();
    void saveChart();
    void fitChartToBars();

    QComboBox* chartType_ = nullptr;
    MemberTableSort sortMembers_;
    ActivitySource activity_;
    ChartServices services_;
    BarChart* chart_;
    QChartView* view_;
    QScrollArea* scroll_;
    bool finishingEdit_ = false;
    int chosen_ = 0;
};

} // namespace coffer
