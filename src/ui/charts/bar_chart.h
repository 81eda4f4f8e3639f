// SPDX-License-Identifier: MIT
#pragma once
// The bar chart as Qt Charts draws it: one bar series over a category axis of names and a value axis
// through zero. However many bars a chart has, the plot shows only as many as fit with their names
// readable, from a first bar the caller moves; the value axis spans every bar, so it stays put.

#include "ui/charts/chart_model.h"

#include <QChart>

class QBarCategoryAxis;
class QValueAxis;

namespace coffer {

class BarChart : public QChart {
    Q_OBJECT
  public:
    // Starts with the sample data titled "Example Graph".
    BarChart();

    // Replaces the bars, the axis titles, the legend and the title by the model's, showing from the first bar.
    void draw(const ChartModel& model);
    // Shows the bars from `first` on, as many as fit.
    void showFrom(int first);

    int barCount() const { return static_cast<int>(model_.bars.size()); }
    int firstShown() const { return first_; }
    int shownCount() const { return shown_; }
    // The whole name of the bar drawn at a point of the chart, empty where there is none.
    QString nameAt(const QPointF& point) const;

    QBarCategoryAxis* categoryAxis() const { return categories_; }
    QValueAxis* valueAxis() const { return values_; }

  signals:
    // The bars shown, or how many fit, changed.
    void shownBarsChanged();

  private:
    void fitBarsTo(const QRectF& plotArea);
    // The width one bar needs for its name to be read in full beside its neighbours'.
    qreal slotWidth() const;
    // How long a name may be drawn along the category axis, in pixels.
    qreal labelRoom() const;
    void fillShownBars();
    // Below the plot, what the longest name in view leaves of the room the chart's longest name takes.
    void reserveLabelRoom(qreal widestShown);

    ChartModel model_;
    QBarCategoryAxis* categories_;
    QValueAxis* values_;
    int first_ = 0;
    int shown_ = 1;
    qreal labelRoom_ = 0;
    qreal widestLabel_ = 0; // of every bar's name, in pixels
    QMargins margins_;      // the chart's own, without what reserveLabelRoom adds
};

} // namespace coffer
