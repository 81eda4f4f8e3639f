#pragma once
// The member bar chart as Qt Charts draws it: one bar series over a category axis of member names
// and a value axis through zero. Every drawing keeps the axis titles "Players" and "Value".

#include "ui/charts/chart_model.h"

#include <QChart>

class QBarCategoryAxis;
class QValueAxis;

namespace coffer {

class BarChart : public QChart {
  public:
    // Starts with the sample data titled "Example Graph".
    BarChart();

    // Replaces the bars, the category labels and the title by the model's.
    void draw(const ChartModel& model);

    // The width a bar needs for its name to stand beside its neighbours'.
    qreal slotWidthForNames() const;

    QBarCategoryAxis* categoryAxis() const { return categories_; }
    QValueAxis* valueAxis() const { return values_; }

  private:
    // The member names show only while each bar's slot is wide enough to carry one.
    void fitBarsTo(const QRectF& plotArea);

    QBarCategoryAxis* categories_;
    QValueAxis* values_;
};

} // namespace coffer
