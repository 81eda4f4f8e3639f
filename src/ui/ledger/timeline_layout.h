// SPDX-License-Identifier: MIT
#pragma once
// The ledger's time line as geometry, apart from its painting: the pastes stacked in rows, the entries
// per local day, the stretch of time in view and its mapping onto x, the ticks and their labels, and
// what lies under a point.

#include "ledger/ledger_file.h"

#include <QDate>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace coffer {

// The row of each span, in as few rows as the most spans over one moment: spans that share a moment
// (ends included) never share a row.
std::vector<int> StackInRows(const std::vector<TimeGap>& spans);

// Entries counted over a stretch of time [from, to).
struct TimeBucket {
    std::int64_t from = 0, to = 0;
    std::uint64_t copies = 0;
};

// The hours' counts gathered into local days (an hour counts on the day it starts in), oldest first.
std::vector<TimeBucket> LocalDayBuckets(const std::vector<HourCount>& hours);

// The local day of a time.
QDate LocalDay(std::int64_t ms);

// The stretch of time in view, within the whole one, and where each moment lies along a width.
class TimeAxis {
  public:
    // The least stretch the view narrows to, and the least a whole one is widened to.
    static constexpr std::int64_t kLeastSpan = kMsPerHour;

    // Shows the whole stretch, from `first` to `last`.
    void setWhole(std::int64_t first, std::int64_t last);
    void setWidth(double width);
    double width() const { return width_; }
    std::int64_t from() const;
    std::int64_t to() const;
    double x(std::int64_t ms) const;
    std::int64_t time(double x) const;
    // Narrows the view by `factor` (below 1 widens it), the moment at `x` staying where it is.
    void zoom(double factor, double x);
    // Moves the view by `dx` pixels: positive shows earlier times. Never past either end of the whole.
    void pan(double dx);
    void showWhole();

  private:
    void keepInside();

    double wholeFrom_ = 0, wholeSpan_ = kLeastSpan; // milliseconds
    double from_ = 0, span_ = kLeastSpan;
    double width_ = 1;
};

struct Tick {
    std::int64_t ms = 0;
    double x = 0;
    QString label; // empty where the label would leave the width
};

// Ticks at whole local hours, days, months or years, the finest whose labels, each starting at its
// tick, stand `kLabelSpace` pixels apart at least at the axis's width.
constexpr double kLabelSpace = 8;
std::vector<Tick> ChooseTicks(const TimeAxis& axis, const std::function<double(const QString&)>& textWidth);

// The parts of the picture, top to bottom: the rows of paste bars over the histogram, then the ticks.
struct TimelineGeometry {
    double width = 0, height = 0;
    double axisHeight = 16;
    int rows = 1;
    double plotHeight() const { return height - axisHeight; }
    double rowHeight() const;
    double rowTop(int row) const { return 2 + row * rowHeight(); }
};

// A bar is drawn at least this wide, so that a paste of a few minutes can still be seen and pointed at.
constexpr double kLeastBarWidth = 3;
// A gap likewise, however short.
constexpr double kLeastGapWidth = 3;

// Where a paste's bar or a gap lies along the axis, as it is drawn and pointed at.
struct XExtent {
    double left = 0, right = 0;
};
XExtent BarExtent(const TimeAxis& axis, const PasteRecord& paste); // a paste with times
XExtent GapExtent(const TimeAxis& axis, const TimeGap& gap);

// What the ledger's time line shows.
struct TimelineContent {
    std::vector<PasteRecord> pastes; // with times only
    std::vector<int> rows;           // of each paste
    std::vector<TimeGap> gaps;
    std::vector<HourCount> hours;
    std::vector<TimeBucket> days;
    std::int64_t first = 0, last = 0; // the first and the last entry's times
    bool empty() const { return pastes.empty() && hours.empty(); }
};

// The time line of a ledger: its pastes with times, its gaps and its entries per hour, from its first
// entry to its last.
TimelineContent MakeTimelineContent(const LedgerSummary& summary, const std::vector<HourCount>& hours);

// The buckets the histogram shows at this view: hours when it spans less than three days, else days.
const std::vector<TimeBucket>& VisibleBuckets(const TimelineContent& content, const TimeAxis& axis,
                                              std::vector<TimeBucket>& hourBuckets);

struct TimelineHit {
    enum class Kind { Nothing, Paste, Gap, Day } kind = Kind::Nothing;
    std::size_t index = 0;    // of the paste or gap
    QDate day;                // under the point, for Day
    std::uint64_t copies = 0; // the day's entries
};

// A paste's bar first (drawn on top), then a gap, then the day.
TimelineHit HitTest(const TimelineContent& content, const TimeAxis& axis, const TimelineGeometry& geometry, double x,
                    double y);

} // namespace coffer
