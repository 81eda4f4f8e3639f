#include "ui/charts/bar_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QFont>
#include <QFontMetricsF>
#include <QLegend>
#include <QStringList>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace coffer {
namespace {

ChartModel SampleChart() {
    return {"Example Graph", {{"R1", 9}, {"R2", 6}, {"R3", 8}, {"R4", 4}, {"R5", 7}}, LabelOrientation::Horizontal};
}

QFont AxisTitleFont() {
    return QFont(QStringLiteral("Verdana"), 8);
}
QFont CategoryLabelFont() {
    return QFont(QStringLiteral("Georgia"), 8, QFont::Bold);
}

// A whole-number step that divides the span into at most about five parts: 1, 2 or 5 times a power of ten.
qreal TickStep(qreal span) {
    const qreal rough = span / 5;
    qreal step = 1;
    while (step * 10 <= rough)
        step *= 10;
    for (const qreal factor : {1.0, 2.0, 5.0, 10.0}) {
        if (step * factor >= rough)
            return step * factor;
    }
    return step * 10;
}

// A scale from the lowest to the highest bar that always takes in zero, with whole-number ticks
// anchored at zero.
void FitValueAxis(QValueAxis& axis, const ChartModel& model) {
    qreal low = 0;
    qreal high = 0;
    auto take = [&](std::int64_t value) {
        low = std::min(low, static_cast<qreal>(value));
        high = std::max(high, static_cast<qreal>(value));
    };
    for (const ChartBar& bar : model.bars)
        take(bar.value);
    for (const std::int64_t value : model.below)
        take(value);
    if (low == high)
        high = 1; // no bars: an empty chart still gets a scale
    const qreal step = TickStep(high - low);
    axis.setTickInterval(step);
    axis.setRange(std::floor(low / step) * step, std::ceil(high / step) * step);
}

} // namespace

BarChart::BarChart() : categories_(new QBarCategoryAxis), values_(new QValueAxis) {
    legend()->hide();
    categories_->setTitleText(QStringLiteral("Players"));
    categories_->setTitleFont(AxisTitleFont());
    categories_->setLabelsFont(CategoryLabelFont());
    values_->setTitleText(QStringLiteral("Value"));
    values_->setTitleFont(AxisTitleFont());
    values_->setLabelFormat(QStringLiteral("%.0f"));
    values_->setTickType(QValueAxis::TicksDynamic);
    values_->setTickAnchor(0);
    addAxis(categories_, Qt::AlignBottom);
    addAxis(values_, Qt::AlignLeft);
    connect(this, &QChart::plotAreaChanged, this, &BarChart::fitBarsTo);
    draw(SampleChart());
}

void BarChart::draw(const ChartModel& model) {
    removeAllSeries();
    auto* set = new QBarSet(QString());
    QStringList labels;
    labels.reserve(static_cast<qsizetype>(model.bars.size()));
    for (const ChartBar& bar : model.bars) {
        set->append(static_cast<qreal>(bar.value));
        // The axis drops null labels, which would shift every later bar onto the wrong name.
        const QString label = QString::fromStdString(bar.label);
        labels.append(label.isNull() ? QStringLiteral("") : label);
    }
    // An axis without categories neither lays out nor repaints: an empty chart gets one blank category.
    categories_->setCategories(labels.isEmpty() ? QStringList{QStringLiteral("")} : labels);
    categories_->setLabelsAngle(model.labels == LabelOrientation::Vertical ? -90 : 0);

    auto* series = new QBarSeries;
    series->append(set);
    if (!model.below.empty()) {
        auto* below = new QBarSet(QString());
        for (const std::int64_t value : model.below)
            below->append(static_cast<qreal>(value));
        series->append(below);
    }
    addSeries(series);
    series->attachAxis(categories_);
    series->attachAxis(values_);
    for (QBarSet* bars : series->barSets())
        bars->setBorderColor(bars->color()); // the theme's light border would wash out narrow bars
    FitValueAxis(*values_, model);
    setTitle(QString::fromStdString(model.title));
    fitBarsTo(plotArea());
}

qreal BarChart::slotWidthForNames() const {
    return 1.5 * QFontMetricsF(categories_->labelsFont()).height();
}

void BarChart::fitBarsTo(const QRectF& plotArea) {
    // Below one line of text per bar the names would overlap, and below two pixels Qt Charts cannot lay
    // the axis out at all: the axis goes, and the bars fill their slots so that they stay visible.
    const qreal slot = plotArea.width() / std::max<qsizetype>(categories_->count(), 1);
    const bool roomForNames = slot >= QFontMetricsF(categories_->labelsFont()).height();
    categories_->setVisible(roomForNames);
    for (QAbstractSeries* series : series())
        static_cast<QBarSeries*>(series)->setBarWidth(roomForNames ? 0.5 : 1.0);
}

} // namespace coffer
