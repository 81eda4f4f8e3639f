// SPDX-License-Identifier: MIT
// The ledger's time line as geometry: rows of pastes, local days, the view under zoom and pan, ticks and
// what lies under a point. In a zone with summer time, whose days are not all 24 hours long.
#include "ui/ledger/timeline_layout.h"

#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <ctime>
#include <limits>
#include <random>

namespace coffer {
namespace {

class TimelineLayoutTest : public ::testing::Test {
  protected:
    const testing::ScopedTimeZone zone_{testing::kCentralEuropeanTime};
};

std::int64_t At(const char* local) {
    return QDateTime::fromString(QString::fromLatin1(local), Qt::ISODate).toMSecsSinceEpoch();
}

// Random spans: no two that share a moment share a row, and there are no more rows than the most spans
// over one moment.
TEST_F(TimelineLayoutTest, PastesTakeAsFewRowsAsTheirOverlapsNeed) {
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        std::vector<TimeGap> spans(random() % 30);
        for (TimeGap& span : spans) {
            span.from = random() % 1000;
            span.to = span.from + random() % 200;
        }
        const std::vector<int> rows = StackInRows(spans);
        int most = 0, used = 0;
        for (std::size_t i = 0; i < spans.size(); ++i) {
            int over = 0; // spans over the start of this one
            for (std::size_t j = 0; j < spans.size(); ++j) {
                over += spans[j].from <= spans[i].from && spans[i].from <= spans[j].to;
                if (j != i && spans[j].from <= spans[i].to && spans[i].from <= spans[j].to) {
                    ASSERT_NE(rows[i], rows[j]) << round;
                }
            }
            most = std::max(most, over);
            used = std::max(used, rows[i] + 1);
        }
        EXPECT_EQ(used, most) << round;
    }
}

// Hours gather into local days, the 23 hours of the day summer time starts included.
TEST_F(TimelineLayoutTest, HoursGatherIntoLocalDays) {
    const std::int64_t start = At("2024-03-30T23:00:00") / kMsPerHour;
    std::vector<HourCount> hours;
    for (std::int64_t hour = start; hour < start + 26; ++hour)
        hours.push_back({.hour = hour, .copies = 1});
    const std::vector<TimeBucket> days = LocalDayBuckets(hours);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].copies, 1u);
    EXPECT_EQ(days[1].copies, 23u);
    EXPECT_EQ(days[1].from, At("2024-03-31T00:00:00"));
    EXPECT_EQ(days[1].to, At("2024-04-01T00:00:00"));
    EXPECT_EQ(days[2].copies, 2u);
}

// A zoom keeps the moment under the pointer there; neither zoom nor pan leaves the whole stretch.
TEST_F(TimelineLayoutTest, ZoomKeepsThePointersMomentAndPanStaysInside) {
    TimeAxis axis;
    axis.setWidth(1000);
    axis.setWhole(At("2024-01-01T00:00:00"), At("2025-01-01T00:00:00"));
    const std::int64_t first = axis.from(), last = axis.to();
    const std::int64_t under = axis.time(300);
    axis.zoom(8, 300);
    EXPECT_NEAR(axis.time(300), under, 1);
    EXPECT_NEAR(static_cast<double>(axis.to() - axis.from()), static_cast<double>(last - first) / 8, 1);
    axis.pan(5000); // far past the start
    EXPECT_EQ(axis.from(), first);
    axis.zoom(0.01, 900); // wider than the whole
    EXPECT_EQ(axis.from(), first);
    EXPECT_EQ(axis.to(), last);
    axis.zoom(1e9, 500); // narrower than an hour
    EXPECT_EQ(axis.to() - axis.from(), TimeAxis::kLeastSpan);
}

// At every span and width the labels stand apart inside the width, at whole local hours, days, months or
// years as the span needs.
TEST_F(TimelineLayoutTest, TickLabelsNeverOverlap) {
    const auto width = [](const QString& label) { return 7.0 * label.size(); };
    const struct {
        const char *from, *to;
        double width;
        const char* firstLabel;
    } cases[] = {
        {"2024-03-30T20:10:00", "2024-04-01T03:00:00", 1600, "22:00"},
        {"2024-03-30T20:10:00", "2024-04-01T03:00:00", 300, "2024-03-31"},
        {"2024-03-01T05:00:00", "2024-03-20T00:00:00", 1600, "2024-03-02"},
        {"2024-01-10T00:00:00", "2024-12-31T00:00:00", 1600, "Feb 2024"},
        {"2024-01-10T00:00:00", "2024-12-31T00:00:00", 300, "Apr 2024"},
        {"2004-06-01T00:00:00", "2024-06-01T00:00:00", 800, "2005"},
    };
    for (const auto& c : cases) {
        TimeAxis axis;
        axis.setWidth(c.width);
        axis.setWhole(At(c.from), At(c.to));
        const std::vector<Tick> ticks = ChooseTicks(axis, width);
        ASSERT_FALSE(ticks.empty()) << c.from << " " << c.width;
        EXPECT_EQ(ticks[0].label, QString::fromLatin1(c.firstLabel)) << c.from << " " << c.width;
        double free = 0; // where the next label may start
        for (const Tick& tick : ticks) {
            EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(tick.ms).time().minute(), 0);
            if (tick.label.isEmpty())
                continue;
            EXPECT_GE(tick.x, free) << tick.label.toStdString();
            free = tick.x + width(tick.label) + kLabelSpace;
            EXPECT_LE(free - kLabelSpace, c.width) << tick.label.toStdString();
        }
    }
}

// A bar first, then a gap over the whole height, then the day with its entries. A ledger from someone else
// may count any hours: those past what a time can hold are left out.
TEST_F(TimelineLayoutTest, APointFindsABarAGapOrADay) {
    const std::int64_t day = At("2024-05-01T00:00:00");
    LedgerSummary summary;
    summary.pastes.resize(2);
    summary.gaps = {{day + 10 * kMsPerHour, day + 20 * kMsPerHour}};
    summary.pastes[0].firstTs = day, summary.pastes[0].lastTs = day + 10 * kMsPerHour;
    summary.pastes[1].firstTs = day + 5 * kMsPerHour, summary.pastes[1].lastTs = day + 6 * kMsPerHour;
    const std::vector<HourCount> hours = {{.hour = -5, .copies = 1},
                                          {.hour = day / kMsPerHour + 1, .copies = 4},
                                          {.hour = day / kMsPerHour + 23, .copies = 3},
                                          {.hour = std::numeric_limits<std::int64_t>::max(), .copies = 1}};
    const TimelineContent content = MakeTimelineContent(summary, hours);
    EXPECT_EQ(content.hours, std::vector<HourCount>(hours.begin() + 1, hours.end() - 1));
    TimeAxis axis;
    axis.setWidth(2400);
    axis.setWhole(day, day + 24 * kMsPerHour);
    const TimelineGeometry geometry{.width = 2400, .height = 100, .axisHeight = 16, .rows = 2};
    const struct {
        double x, y;
        TimelineHit::Kind kind;
        std::size_t index;
        std::uint64_t copies;
    } points[] = {
        {550, geometry.rowTop(1) + 1, TimelineHit::Kind::Paste, 1, 0},
        {550, geometry.rowTop(0) + 1, TimelineHit::Kind::Paste, 0, 0},
        {1500, 95, TimelineHit::Kind::Gap, 0, 0},
        {2350, 50, TimelineHit::Kind::Day, 0, 7},
        {550, 50, TimelineHit::Kind::Day, 0, 7},
        {200, geometry.rowTop(1) + 1, TimelineHit::Kind::Day, 0, 7},
    };
    for (const auto& p : points) {
        const TimelineHit hit = HitTest(content, axis, geometry, p.x, p.y);
        EXPECT_EQ(hit.kind, p.kind) << p.x << "," << p.y;
        EXPECT_EQ(hit.index, p.index) << p.x << "," << p.y;
        EXPECT_EQ(hit.copies, p.copies) << p.x << "," << p.y;
    }
}

} // namespace
} // namespace coffer
