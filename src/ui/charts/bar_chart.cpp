// SPDX-License-Identifier: MIT
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
    return {.title = "Example Graph",
            .bars = {{"R1", 9}, {"R2", 6}, {"R3", 8}, {"R4", 4}, {"R5", 7}},
            .labels = LabelOrientation::Horizontal};
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

// Names longer than this are cut, so that one long name cannot take the plot's height; the whole name
// shows in the tooltip.
constexpr qsizetype kLongestLabel = 48;

QString CappedLabel(const std::string& name) {
    const QString label = QString::fromStdString(name);
    if (label.size() <= kLongestLabel)
        return label;
    qsizetype cut = kLongestLabel - 1;
    if (label.at(cut - 1).isHighSurrogate())
        --cut; // never half a character
    return label.left(cut) + u'\u2026';
}

// The name as the axis shows it: at most kLongestLabel characters and `room` pixels long, else cut
// with "…" (Qt Charts would cut it with "...", and on every draw again).
QString ShownLabel(const std::string& name, const QFontMetricsF& metrics, qreal room) {
    const QString label = metrics.elidedText(CappedLabel(name), Qt::ElideRight, room);
    // The axis drops null labels, which would shift every later bar onto the wrong name.
    return label.isNull() ? QStringLiteral("") : label;
}

} // namespace

BarChart::BarChart() : categories_(new QBarCategoryAxis), values_(new QValueAxis) {
    categories_->setTitleFont(AxisTitleFont());
    categories_->setLabelsFont(CategoryLabelFont());
    values_->setTitleText(QStringLiteral("Value"));
    values_->setTitleFont(AxisTitleFont());
    values_->setLabelFormat(QStringLiteral("%.0f"));
    values_->setTickType(QValueAxis::TicksDynamic);
    values_->setTickAnchor(0);
    addAxis(categories_, Qt::AlignBottom);
    addAxis(values_, Qt::AlignLeft);
    // Bars changed while the chart lays itself out would not be drawn: they change after the layout.
    connect(this, &QChart::plotAreaChanged, this, &BarChart::fitBarsTo, Qt::QueuedConnection);
    margins_ = margins();
    draw(SampleChart());
}

void BarChart::draw(const ChartModel& model) {
    model_ = model;
    removeAllSeries();
    auto legendName = [&model](std::size_t set) {
        return set < model.legend.size() ? QString::fromStdString(model.legend[set]) : QString();
    };
    auto* series = new QBarSeries;
    series->append(new QBarSet(legendName(0)));
    if (!model.below.empty())
        series->append(new QBarSet(legendName(1)));
    addSeries(series);
    series->attachAxis(categories_);
    series->attachAxis(values_);
    for (QBarSet* bars : series->barSets())
        bars->setBorderColor(bars->color()); // the theme's light border would wash out narrow bars
    legend()->setVisible(!model.legend.empty());
    categories_->setTitleText(QString::fromStdString(model.categoryTitle));
    categories_->setLabelsAngle(model.labels == LabelOrientation::Vertical ? -90 : 0);
    FitValueAxis(*values_, model);
    setTitle(QString::fromStdString(model.title));
    const QFontMetricsF metrics(categories_->labelsFont());
    widestLabel_ = 0;
    for (const ChartBar& bar : model_.bars)
        widestLabel_ = std::max(widestLabel_, metrics.horizontalAdvance(CappedLabel(bar.label)));

    first_ = 0;
    shown_ = std::max(1, static_cast<int>(plotArea().width() / slotWidth()));
    fillShownBars();
}

void BarChart::showFrom(int first) {
    first = std::clamp(first, 0, std::max(barCount() - shown_, 0));
    if (first == first_)
        return;
    first_ = first;
    fillShownBars();
}

QString BarChart::nameAt(const QPointF& point) const {
    const QRectF plot = plotArea();
    if (point.x() < plot.left() || point.x() >= plot.right() || point.y() < plot.top())
        return {};
    // The bar's column, or its name under the plot.
    const auto slot = static_cast<int>((point.x() - plot.left()) * categories_->count() / plot.width());
    const int bar = first_ + slot;
    if (bar >= std::min(first_ + shown_, barCount()))
        return {};
    return QString::fromStdString(model_.bars[static_cast<std::size_t>(bar)].label);
}

qreal BarChart::slotWidth() const {
    const QFontMetricsF metrics(categories_->labelsFont());
    // Qt Charts keeps a padding on either side of a label and a margin around its text.
    const qreal margin = metrics.height();
    if (model_.labels == LabelOrientation::Vertical)
        return metrics.height() + margin;
    return widestLabel_ + margin;
}

qreal BarChart::labelRoom() const {
    // Qt Charts gives an axis at most 40% of the chart; the axis title and the paddings take the rest.
    const qreal line = QFontMetricsF(categories_->labelsFont()).height();
    if (model_.labels == LabelOrientation::Vertical)
        return 0.4 * size().height() - 5 * line;
    return plotArea().width() - line;
}

void BarChart::fitBarsTo(const QRectF& plotArea) {
    const int fit = std::max(1, static_cast<int>(plotArea.width() / slotWidth()));
    if (fit == shown_ && labelRoom() == labelRoom_)
        return;
    shown_ = fit;
    first_ = std::clamp(first_, 0, std::max(barCount() - shown_, 0));
    fillShownBars();
}

void BarChart::fillShownBars() {
    labelRoom_ = labelRoom();
    const QFontMetricsF metrics(categories_->labelsFont());
    const int end = std::min(first_ + shown_, barCount());
    QList<qreal> above;
    QList<qreal> below;
    QStringList labels;
    qreal widestShown = 0;
    for (int bar = first_; bar < end; ++bar) {
        const auto index = static_cast<std::size_t>(bar);
        above.append(static_cast<qreal>(model_.bars[index].value));
        if (!model_.below.empty())
            below.append(static_cast<qreal>(model_.below[index]));
        labels.append(ShownLabel(model_.bars[index].label, metrics, labelRoom_));
        widestShown = std::max(widestShown, metrics.horizontalAdvance(labels.constLast()));
    }
    reserveLabelRoom(widestShown);
    const QList<QBarSet*> sets = static_cast<QBarSeries*>(series().constFirst())->barSets();
    for (QBarSet* set : sets) {
        if (set->count() > 0)
            set->remove(0, set->count());
    }
    sets.constFirst()->append(above);
    if (sets.size() > 1)
        sets.at(1)->append(below);
    // An axis without categories neither lays out nor repaints: an empty chart gets one blank category.
    categories_->setCategories(labels.isEmpty() ? QStringList{QStringLiteral("")} : labels);
    emit shownBarsChanged();
}

// Standing names take the height of the longest in view: the plot, and its zero line, would move as
// a longer name scrolled into view. The margin under the axis makes up the rest of the longest's room.
void BarChart::reserveLabelRoom(qreal widestShown) {
    QMargins room = margins_;
    if (model_.labels == LabelOrientation::Vertical)
        room.setBottom(room.bottom() +
                       static_cast<int>(std::ceil(std::max(0.0, std::min(widestLabel_, labelRoom_) - widestShown))));
    if (room != margins())
        setMargins(room);
}

} // namespace coffer
