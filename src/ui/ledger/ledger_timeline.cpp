// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_timeline.h"

#include "ledger/ledger_file.h"
#include "ui/base/engine_text.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace coffer {
namespace {

// A press and release closer than this is a click.
constexpr double kClickDistance = 3;

const QColor kHistogram(110, 140, 190, 70);
const QColor kPaste(70, 110, 170);
const QColor kPasteEdge(40, 70, 120);
const QColor kGap(220, 30, 30, 120);
const QColor kChosen(255, 200, 0, 80);

QString PasteText(const PasteRecord& paste) {
    const PasteFields fields = PasteFieldTexts(paste);
    const QString source =
        paste.fileName.empty() ? QStringLiteral("Pasted text") : QStringLiteral("From ") + ToQString(fields[6]);
    return QStringLiteral("Added %1\n%2\n%3 entries, %4 new\nFirst entry %5\nLast entry %6")
        .arg(ToQString(fields[0]), source, ToQString(fields[1]), ToQString(fields[2]), ToQString(fields[3]),
             ToQString(fields[4]));
}

} // namespace

LedgerTimeline::LedgerTimeline(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picLedgerTimeline"));
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
}

QSize LedgerTimeline::sizeHint() const {
    // Six lines of text: room for a few rows of bars above the labels, and never above 120 pixels.
    return {400, std::min(120, 6 * fontMetrics().height())};
}

void LedgerTimeline::showContent(TimelineContent content) {
    const bool sameWhole = content.first == content_.first && content.last == content_.last;
    content_ = std::move(content);
    if (!sameWhole)
        axis_.setWhole(content_.first, content_.last);
    update();
}

void LedgerTimeline::shadeDays(const std::optional<std::pair<QDate, QDate>>& days) {
    shadedDays_ = days;
    update();
}

void LedgerTimeline::showWhole() {
    axis_.showWhole();
    update();
}

TimelineGeometry LedgerTimeline::geometry() const {
    TimelineGeometry geometry;
    geometry.width = width();
    geometry.height = height();
    geometry.axisHeight = fontMetrics().height() + 4;
    geometry.rows = content_.rows.empty() ? 1 : *std::ranges::max_element(content_.rows) + 1;
    return geometry;
}

QString LedgerTimeline::toolTipAt(const QPointF& point) const {
    const TimelineHit hit = HitTest(content_, axis_, geometry(), point.x(), point.y());
    switch (hit.kind) {
    case TimelineHit::Kind::Paste:
        return PasteText(content_.pastes[hit.index]);
    case TimelineHit::Kind::Gap:
        return ToQString(GapText(content_.gaps[hit.index]));
    case TimelineHit::Kind::Day:
        return QStringLiteral("%1: %2 entries").arg(hit.day.toString(Qt::ISODate)).arg(hit.copies);
    case TimelineHit::Kind::Nothing:
        break;
    }
    return {};
}

bool LedgerTimeline::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

void LedgerTimeline::resizeEvent(QResizeEvent* event) {
    axis_.setWidth(width());
    QWidget::resizeEvent(event);
}

void LedgerTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const TimelineGeometry shape = geometry();
    const double plot = shape.plotHeight();
    painter.fillRect(rect(), palette().base());
    if (content_.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No entries with a time yet"));
        return;
    }
    const auto visible = [&](double left, double right) { return right >= 0 && left <= shape.width; };

    std::vector<TimeBucket> hourBuckets;
    const std::vector<TimeBucket>& buckets = VisibleBuckets(content_, axis_, hourBuckets);
    std::uint64_t most = 1;
    for (const TimeBucket& bucket : buckets)
        if (visible(axis_.x(bucket.from), axis_.x(bucket.to)))
            most = std::max(most, bucket.copies);
    for (const TimeBucket& bucket : buckets) {
        const double left = axis_.x(bucket.from), right = axis_.x(bucket.to);
        if (!visible(left, right))
            continue;
        const double tall = (plot - 2) * static_cast<double>(bucket.copies) / static_cast<double>(most);
        painter.fillRect(QRectF(left, plot - tall, std::max(right - left - 0.5, 0.5), tall), kHistogram);
    }

    const double rowHeight = shape.rowHeight();
    painter.setPen(rowHeight >= 4 ? QPen(kPasteEdge) : Qt::NoPen);
    painter.setBrush(kPaste);
    for (std::size_t i = 0; i < content_.pastes.size(); ++i) {
        const XExtent bar = BarExtent(axis_, content_.pastes[i]);
        if (visible(bar.left, bar.right))
            painter.drawRect(
                QRectF(bar.left, shape.rowTop(content_.rows[i]), bar.right - bar.left, std::max(rowHeight - 1, 1.0)));
    }
    for (const TimeGap& gap : content_.gaps) {
        const XExtent extent = GapExtent(axis_, gap);
        if (visible(extent.left, extent.right))
            painter.fillRect(QRectF(extent.left, 0, extent.right - extent.left, plot), kGap);
    }
    if (drag_ == Drag::Choose) {
        painter.fillRect(QRectF(std::min(dragFrom_, dragAt_), 0, std::abs(dragAt_ - dragFrom_), plot), kChosen);
    } else if (shadedDays_) {
        const double left = axis_.x(QDateTime(shadedDays_->first, QTime(0, 0)).toMSecsSinceEpoch());
        const double right = axis_.x(QDateTime(shadedDays_->second.addDays(1), QTime(0, 0)).toMSecsSinceEpoch());
        if (visible(left, right))
            painter.fillRect(QRectF(left, 0, right - left, plot), kChosen);
    }

    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(QPointF(0, plot), QPointF(shape.width, plot));
    const QFontMetricsF metrics(font());
    for (const Tick& tick : ChooseTicks(axis_, [&](const QString& text) { return metrics.horizontalAdvance(text); })) {
        painter.drawLine(QPointF(tick.x, plot), QPointF(tick.x, plot + 4));
        painter.drawText(QPointF(tick.x + 2, shape.height - metrics.descent() - 1), tick.label);
    }
}

void LedgerTimeline::mousePressEvent(QMouseEvent* event) {
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier));
    if (!pan && event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    drag_ = pan ? Drag::Pan : Drag::Choose;
    dragFrom_ = dragAt_ = event->position().x();
}

void LedgerTimeline::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (drag_ == Drag::Pan)
        axis_.pan(x - dragAt_);
    dragAt_ = x;
    if (drag_ == Drag::Choose && !content_.empty()) {
        const auto [first, last] = draggedDays();
        QToolTip::showText(event->globalPosition().toPoint(),
                           QStringLiteral("%1 to %2").arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate)),
                           this);
    }
    if (drag_ != Drag::None)
        update();
}

std::pair<QDate, QDate> LedgerTimeline::draggedDays() const {
    const double left = std::clamp(std::min(dragFrom_, dragAt_), 0.0, axis_.width() - 1);
    const double right = std::clamp(std::max(dragFrom_, dragAt_), 0.0, axis_.width() - 1);
    return {LocalDay(axis_.time(left)), LocalDay(axis_.time(right))};
}

void LedgerTimeline::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = std::exchange(drag_, Drag::None);
    QToolTip::hideText();
    update();
    if (drag != Drag::Choose || content_.empty())
        return;
    dragAt_ = event->position().x();
    if (std::abs(dragAt_ - dragFrom_) < kClickDistance) {
        const TimelineHit hit = HitTest(content_, axis_, geometry(), dragAt_, event->position().y());
        if (hit.kind == TimelineHit::Kind::Gap)
            emit daysChosen(LocalDay(content_.gaps[hit.index].from), LocalDay(content_.gaps[hit.index].to));
        return;
    }
    const auto [first, last] = draggedDays();
    emit daysChosen(first, last);
}

void LedgerTimeline::wheelEvent(QWheelEvent* event) {
    // A notch of the wheel (120) narrows the view by a fifth, or widens it back.
    axis_.zoom(std::pow(1.25, event->angleDelta().y() / 120.0), event->position().x());
    update();
    event->accept();
}

} // namespace coffer
