// SPDX-License-Identifier: MIT
#pragma once
// The ledger's coverage at a glance: each paste a bar over the time it covers, stacked in as few rows
// as possible, every gap a red band, the entries per day (per hour under three days) as a faint
// histogram behind them, and ticks of hours, days, months or years. The wheel zooms about the pointer,
// a drag with the middle button (or Shift and the left) pans; a drag with the left button over a
// stretch, which shows its days at the pointer as it goes, or a click on a gap, chooses its local days.
// The days chosen stay shaded while they are the period.

#include "ui/ledger/timeline_layout.h"

#include <QDate>
#include <QWidget>
#include <optional>
#include <utility>

namespace coffer {

class LedgerTimeline : public QWidget {
    Q_OBJECT
  public:
    explicit LedgerTimeline(QWidget* parent = nullptr);

    // What to draw; the view stays where it was while the ledger's whole stretch stays the same.
    void showContent(TimelineContent content);
    void showWhole();
    const TimeAxis& axis() const { return axis_; }
    // What pointing at `point` shows: a paste, a gap's line as the list of gaps says it, or the day.
    QString toolTipAt(const QPointF& point) const;
    QSize sizeHint() const override;
    // The days to shade as chosen, both included; none: nothing is.
    void shadeDays(const std::optional<std::pair<QDate, QDate>>& days);

  signals:
    void daysChosen(const QDate& first, const QDate& last);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    enum class Drag { None, Choose, Pan };

    TimelineGeometry geometry() const;
    std::pair<QDate, QDate> draggedDays() const; // under the stretch dragged over so far

    TimelineContent content_;
    TimeAxis axis_;
    Drag drag_ = Drag::None;
    double dragFrom_ = 0, dragAt_ = 0; // x where the drag started and where it is now
    std::optional<std::pair<QDate, QDate>> shadedDays_;
};

} // namespace coffer
