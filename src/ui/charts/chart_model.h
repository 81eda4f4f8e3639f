// SPDX-License-Identifier: MIT
#pragma once
// The bar charts of the member table: which members get a bar, in which order, with which value, and
// how the category labels stand. A plain function of the table, so the window only renders it.

#include "analysis/tables/stats_table.h"
#include "analysis/tables/weekly_activity.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace coffer {

// The chart types in the order of the chart type box; entry k (counted from 1) charts member column k.
inline constexpr std::array<const char*, 13> kChartEntries = {
    "Deposits",
    "Withdrawls",
    "Overall Transactions",
    "Quality Deposits",
    "Quality Withdrawls",
    "Overall Quality Transactions",
    "ItemValue Deposits",
    "ItemValue Withdrawls",
    "Overall ItemValue Transactions",
    "Gold Deposits",
    "Gold Withdrawls",
    "Repairs",
    "Overall value of all transactions",
};
inline constexpr int kDepositsEntry = 1;

// The charts of the activity by week, in the chart type box after the thirteen of the member table.
inline constexpr std::array<const char*, 2> kWeeklyChartEntries = {
    "Gold deposited and withdrawn by week",
    "Items deposited and withdrawn by week",
};
inline constexpr int kFirstWeeklyEntry = static_cast<int>(kChartEntries.size()) + 1;

// From this many bars on the category labels stand vertically, so that long names still fit.
inline constexpr std::size_t kVerticalLabelsFrom = 6;

enum class LabelOrientation { Horizontal, Vertical };

struct ChartBar {
    std::string label;  // the member's name
    std::int64_t value; // the cell as a whole number (halves to even); never 0

    bool operator==(const ChartBar&) const = default;
};

struct ChartModel {
    std::string title;
    std::vector<ChartBar> bars;
    LabelOrientation labels = LabelOrientation::Horizontal;
    // A second bar beside each of `bars`, drawn below zero (the weekly charts' withdrawals); empty
    // for the member charts.
    std::vector<std::int64_t> below = {};
    std::string categoryTitle = "Players";
    // What the bars above and below zero stand for, shown in a legend; empty: no legend.
    std::vector<std::string> legend = {};
};

// Charts entry `entry` (1 to 13): switches the table's automatic sorting off, sorts it with
// SortHighestFirst on column `entry` and leaves it in that order. One bar per member whose value is
// not 0, in list order; values wider than 16 bits are charted as they are. The title is the entry's
// text. Throws std::out_of_range for any other entry.
ChartModel BuildChart(StatsTable& members, int entry);

// Charts weekly entry `entry` (kFirstWeeklyEntry and the next): one category per ISO week with
// analysed entries, labelled "2008-W23", in time order; deposits up, withdrawals (repairs included)
// down, gold in whole gold (halves to even), items by their count, with a legend naming the two and the
// category axis titled "Week". The title says how many analysed
// entries had no readable time and are left out. Throws std::out_of_range for any other entry.
ChartModel BuildWeeklyChart(const WeeklyActivity& activity, int entry);

} // namespace coffer
