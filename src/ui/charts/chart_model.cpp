// SPDX-License-Identifier: MIT
#include "ui/charts/chart_model.h"

#include "analysis/tables/cell_number.h"
#include "analysis/tables/transaction_totals.h"
#include "report/list_sort.h"

#include <cstdio>
#include <stdexcept>

namespace coffer {

static_assert(kChartEntries.size() == kTotalValue, "entry k charts member column k");

ChartModel BuildChart(StatsTable& members, int entry) {
    if (entry < 1 || entry > static_cast<int>(kChartEntries.size()))
        throw std::out_of_range("no chart entry " + std::to_string(entry));

    members.setSorted(false);
    SortHighestFirst(members, entry);

    ChartModel chart;
    chart.title = kChartEntries[static_cast<std::size_t>(entry - 1)];
    const auto column = static_cast<std::size_t>(entry);
    for (std::size_t row = 0; row < members.rowCount(); ++row) {
        const std::int64_t value = Clamped64(RoundedValue(members.cell(row, column)));
        if (value != 0)
            chart.bars.push_back({std::string(members.cell(row, kCharacter)), value});
    }
    chart.labels = chart.bars.size() >= kVerticalLabelsFrom ? LabelOrientation::Vertical : LabelOrientation::Horizontal;
    return chart;
}

namespace {

std::string WeekLabel(const IsoWeek& week) {
    char label[32];
    std::snprintf(label, sizeof label, "%d-W%02d", week.year, week.week);
    return label;
}

} // namespace

ChartModel BuildWeeklyChart(const WeeklyActivity& activity, int entry) {
    const int weekly = entry - kFirstWeeklyEntry;
    if (weekly < 0 || weekly >= static_cast<int>(kWeeklyChartEntries.size()))
        throw std::out_of_range("no chart entry " + std::to_string(entry));
    const bool gold = weekly == 0;

    ChartModel chart;
    chart.title = kWeeklyChartEntries[static_cast<std::size_t>(weekly)];
    chart.categoryTitle = "Week";
    chart.legend = {"Deposits", "Withdrawals"};
    if (const std::uint64_t undated = activity.undatedEntries(); undated > 0)
        chart.title += " (" + std::to_string(undated) + " entries without a time left out)";
    for (const auto& [week, totals] : activity.weeks()) {
        const WideAmount up = gold ? WholeGold(totals.goldDeposited) : totals.itemsDeposited;
        const WideAmount down = gold ? WholeGold(totals.goldWithdrawn) : totals.itemsWithdrawn;
        chart.bars.push_back({WeekLabel(week), Clamped64(up)});
        chart.below.push_back(-Clamped64(down));
    }
    chart.labels = chart.bars.size() >= kVerticalLabelsFrom ? LabelOrientation::Vertical : LabelOrientation::Horizontal;
    return chart;
}

} // namespace coffer
