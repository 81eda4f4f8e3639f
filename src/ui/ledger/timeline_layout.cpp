// SPDX-License-Identifier: MIT
#include "ui/ledger/timeline_layout.h"

#include "shell/qt/local_days.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <queue>

namespace coffer {
namespace {

constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;

std::int64_t DayStart(const QDate& day) {
    return static_cast<std::int64_t>(LocalDaysRange(ToLocalDate(day), std::nullopt).first);
}

// One way of placing ticks: every `count` hours, days, months or years of local time.
struct TickStep {
    enum class Unit { Hour, Day, Month, Year } unit;
    int count;
    std::int64_t nominal; // its length in milliseconds, about
};

constexpr std::int64_t kMsPerMonth = 30 * kMsPerDay, kMsPerYear = 365 * kMsPerDay;
constexpr TickStep kSteps[] = {
    {TickStep::Unit::Hour, 1, kMsPerHour},           {TickStep::Unit::Hour, 2, 2 * kMsPerHour},
    {TickStep::Unit::Hour, 3, 3 * kMsPerHour},       {TickStep::Unit::Hour, 6, 6 * kMsPerHour},
    {TickStep::Unit::Hour, 12, 12 * kMsPerHour},     {TickStep::Unit::Day, 1, kMsPerDay},
    {TickStep::Unit::Day, 2, 2 * kMsPerDay},         {TickStep::Unit::Day, 7, 7 * kMsPerDay},
    {TickStep::Unit::Month, 1, kMsPerMonth},         {TickStep::Unit::Month, 3, 3 * kMsPerMonth},
    {TickStep::Unit::Month, 6, 6 * kMsPerMonth},     {TickStep::Unit::Year, 1, kMsPerYear},
    {TickStep::Unit::Year, 2, 2 * kMsPerYear},       {TickStep::Unit::Year, 5, 5 * kMsPerYear},
    {TickStep::Unit::Year, 10, 10 * kMsPerYear},     {TickStep::Unit::Year, 20, 20 * kMsPerYear},
    {TickStep::Unit::Year, 50, 50 * kMsPerYear},     {TickStep::Unit::Year, 100, 100 * kMsPerYear},
    {TickStep::Unit::Year, 1000, 1000 * kMsPerYear},
};

// The first tick of the step at or after `from`, as a local date and time.
QDateTime FirstTick(const TickStep& step, std::int64_t from) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(from);
    const QDate day = at.date();
    switch (step.unit) {
    case TickStep::Unit::Hour:
        return QDateTime(day, QTime(at.time().hour() / step.count * step.count, 0));
    case TickStep::Unit::Day:
        // Weeks start on Mondays.
        return QDateTime(step.count == 7 ? day.addDays(1 - day.dayOfWeek()) : day, QTime(0, 0));
    case TickStep::Unit::Month:
        return QDateTime(QDate(day.year(), (day.month() - 1) / step.count * step.count + 1, 1), QTime(0, 0));
    case TickStep::Unit::Year:
        return QDateTime(QDate(day.year() / step.count * step.count, 1, 1), QTime(0, 0));
    }
    return at;
}

QDateTime NextTick(const TickStep& step, const QDateTime& tick) {
    switch (step.unit) {
    case TickStep::Unit::Hour: {
        // By the clock: a day that changes to or from summer time still has its ticks at whole hours.
        const int hour = tick.time().hour() + step.count;
        return hour >= 24 ? QDateTime(tick.date().addDays(1), QTime(0, 0)) : QDateTime(tick.date(), QTime(hour, 0));
    }
    case TickStep::Unit::Day:
        return QDateTime(tick.date().addDays(step.count), QTime(0, 0));
    case TickStep::Unit::Month:
        return QDateTime(tick.date().addMonths(step.count), QTime(0, 0));
    case TickStep::Unit::Year:
        return QDateTime(tick.date().addYears(step.count), QTime(0, 0));
    }
    return tick;
}

QString TickLabel(const TickStep& step, const QDateTime& tick) {
    switch (step.unit) {
    case TickStep::Unit::Hour:
        // The day at its midnight, which says which day the hours after it belong to.
        return tick.time().hour() == 0 ? tick.date().toString(Qt::ISODate)
                                       : tick.time().toString(QStringLiteral("HH:mm"));
    case TickStep::Unit::Day:
        return tick.date().toString(Qt::ISODate);
    case TickStep::Unit::Month:
        return QLocale::c().toString(tick.date(), QStringLiteral("MMM yyyy"));
    case TickStep::Unit::Year:
        return QString::number(tick.date().year());
    }
    return {};
}

} // namespace

std::vector<int> StackInRows(const std::vector<TimeGap>& spans) {
    std::vector<std::size_t> order(spans.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::ranges::sort(order, {}, [&](std::size_t i) { return spans[i]; });
    // The rows by the end of their last span, soonest first; a span starting after it goes into it.
    using RowEnd = std::pair<std::int64_t, int>;
    std::priority_queue<RowEnd, std::vector<RowEnd>, std::greater<>> ends;
    std::vector<int> rows(spans.size());
    int count = 0;
    for (const std::size_t i : order) {
        int row = count;
        if (!ends.empty() && ends.top().first < spans[i].from) {
            row = ends.top().second;
            ends.pop();
        } else {
            ++count;
        }
        rows[i] = row;
        ends.push({spans[i].to, row});
    }
    return rows;
}

QDate LocalDay(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).date();
}

std::vector<TimeBucket> LocalDayBuckets(const std::vector<HourCount>& hours) {
    std::vector<TimeBucket> days;
    for (const HourCount& hour : hours) {
        const std::int64_t at = hour.hour * kMsPerHour;
        if (days.empty() || at >= days.back().to) {
            const QDate day = LocalDay(at);
            days.push_back({DayStart(day), DayStart(day.addDays(1)), 0});
        }
        days.back().copies += hour.copies;
    }
    return days;
}

void TimeAxis::setWhole(std::int64_t first, std::int64_t last) {
    wholeSpan_ = static_cast<double>(std::max(last - first, kLeastSpan));
    // A stretch shorter than the least is widened about its middle.
    wholeFrom_ = static_cast<double>(first) - (wholeSpan_ - static_cast<double>(last - first)) / 2;
    showWhole();
}

void TimeAxis::setWidth(double width) {
    width_ = std::max(width, 1.0);
}

std::int64_t TimeAxis::from() const {
    return std::llround(from_);
}

std::int64_t TimeAxis::to() const {
    return std::llround(from_ + span_);
}

double TimeAxis::x(std::int64_t ms) const {
    return (static_cast<double>(ms) - from_) / span_ * width_;
}

std::int64_t TimeAxis::time(double x) const {
    return std::llround(from_ + x / width_ * span_);
}

void TimeAxis::zoom(double factor, double x) {
    const double at = from_ + x / width_ * span_;
    span_ = std::clamp(span_ / factor, static_cast<double>(kLeastSpan), wholeSpan_);
    from_ = at - x / width_ * span_;
    keepInside();
}

void TimeAxis::pan(double dx) {
    from_ -= dx / width_ * span_;
    keepInside();
}

void TimeAxis::showWhole() {
    from_ = wholeFrom_;
    span_ = wholeSpan_;
}

void TimeAxis::keepInside() {
    from_ = std::clamp(from_, wholeFrom_, wholeFrom_ + wholeSpan_ - span_);
}

std::vector<Tick> ChooseTicks(const TimeAxis& axis, const std::function<double(const QString&)>& textWidth) {
    const std::int64_t from = axis.from(), to = axis.to();
    std::vector<Tick> ticks;
    for (const TickStep& step : kSteps) {
        // A step whose ticks stand closer than a few pixels cannot have room for labels.
        if (axis.x(from + step.nominal) - axis.x(from) < 12)
            continue;
        ticks.clear();
        for (QDateTime tick = FirstTick(step, from); tick.toMSecsSinceEpoch() <= to; tick = NextTick(step, tick)) {
            const std::int64_t ms = tick.toMSecsSinceEpoch();
            if (ms >= from)
                ticks.push_back({ms, axis.x(ms), TickLabel(step, tick)});
        }
        bool fits = true;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const double end = ticks[i].x + textWidth(ticks[i].label) + kLabelSpace;
            if (end - kLabelSpace > axis.width())
                ticks[i].label.clear();
            else if (i + 1 < ticks.size() && end > ticks[i + 1].x)
                fits = false;
        }
        if (fits)
            return ticks;
    }
    return {};
}

double TimelineGeometry::rowHeight() const {
    // Rows of at most 12 pixels, sharing the plot's height when there are many.
    return std::min(12.0, (plotHeight() - 4) / std::max(rows, 1));
}

TimelineContent MakeTimelineContent(const LedgerSummary& summary, const std::vector<HourCount>& hours) {
    TimelineContent content;
    std::vector<TimeGap> spans;
    for (const PasteRecord& paste : summary.pastes)
        if (paste.firstTs && paste.lastTs) {
            content.pastes.push_back(paste);
            spans.push_back({*paste.firstTs, *paste.lastTs});
        }
    content.rows = StackInRows(spans);
    content.gaps = summary.gaps;
    // Hours whose ends a time can hold: a ledger from someone else may count any number.
    constexpr std::int64_t kLastHour = std::numeric_limits<std::int64_t>::max() / kMsPerHour - 1;
    std::ranges::copy_if(hours, std::back_inserter(content.hours),
                         [](const HourCount& hour) { return hour.hour >= 0 && hour.hour <= kLastHour; });
    content.days = LocalDayBuckets(content.hours);
    content.first = summary.totals.firstTs.value_or(0);
    content.last = summary.totals.lastTs.value_or(0);
    return content;
}

const std::vector<TimeBucket>& VisibleBuckets(const TimelineContent& content, const TimeAxis& axis,
                                              std::vector<TimeBucket>& hourBuckets) {
    if (axis.to() - axis.from() >= 3 * kMsPerDay)
        return content.days;
    hourBuckets.clear();
    const auto visible = std::ranges::lower_bound(content.hours, axis.from() / kMsPerHour, {}, &HourCount::hour);
    for (auto hour = visible; hour != content.hours.end() && hour->hour * kMsPerHour <= axis.to(); ++hour)
        hourBuckets.push_back({hour->hour * kMsPerHour, (hour->hour + 1) * kMsPerHour, hour->copies});
    return hourBuckets;
}

XExtent BarExtent(const TimeAxis& axis, const PasteRecord& paste) {
    const double left = axis.x(*paste.firstTs);
    return {.left = left, .right = std::max(axis.x(*paste.lastTs), left + kLeastBarWidth)};
}

XExtent GapExtent(const TimeAxis& axis, const TimeGap& gap) {
    const double left = axis.x(gap.from);
    return {.left = left, .right = std::max(axis.x(gap.to), left + kLeastGapWidth)};
}

TimelineHit HitTest(const TimelineContent& content, const TimeAxis& axis, const TimelineGeometry& geometry, double x,
                    double y) {
    if (content.empty() || x < 0 || x >= geometry.width || y < 0 || y >= geometry.height)
        return {};
    const double rowHeight = geometry.rowHeight();
    for (std::size_t i = 0; i < content.pastes.size(); ++i) {
        const XExtent bar = BarExtent(axis, content.pastes[i]);
        const double top = geometry.rowTop(content.rows[i]);
        if (x >= bar.left && x < bar.right && y >= top && y < top + rowHeight)
            return {TimelineHit::Kind::Paste, i, {}};
    }
    for (std::size_t i = 0; i < content.gaps.size(); ++i) {
        const XExtent gap = GapExtent(axis, content.gaps[i]);
        if (x >= gap.left && x < gap.right)
            return {TimelineHit::Kind::Gap, i, {}};
    }
    TimelineHit hit{TimelineHit::Kind::Day, 0, LocalDay(axis.time(x))};
    const std::int64_t dayStart = DayStart(hit.day);
    const auto day = std::ranges::lower_bound(content.days, dayStart, {}, &TimeBucket::from);
    hit.copies = day != content.days.end() && day->from == dayStart ? day->copies : 0;
    return hit;
}

} // namespace coffer
