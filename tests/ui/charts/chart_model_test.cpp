// SPDX-License-Identifier: MIT
#include "ui/charts/chart_model.h"

#include "analysis/tables/transaction_totals.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace coffer {
namespace {

// A finished member table from "name:cell name:cell ...", the cells in `column`, every other cell zero.
StatsTable Members(int column, const std::string& members) {
    StatsTable table = MakeMemberTable();
    std::istringstream in(members);
    for (std::string member; in >> member;) {
        std::vector<std::string> cells(kMemberColumnCount, "+000000");
        cells[kCharacter] = member.substr(0, member.find(':'));
        cells[static_cast<std::size_t>(column)] = member.substr(member.find(':') + 1);
        table.appendRow(std::move(cells));
    }
    table.setSorted(true);
    return table;
}

// "name=value ..." for the bars, then "|", then the member list's order and "(vertical)" when the
// labels stand.
std::string Charted(StatsTable& members, int entry) {
    const ChartModel chart = BuildChart(members, entry);
    std::string text;
    for (const ChartBar& bar : chart.bars)
        text += bar.label + "=" + std::to_string(bar.value) + " ";
    text += "|";
    for (std::size_t row = 0; row < members.rowCount(); ++row)
        text.append(" ").append(members.cell(row, kCharacter));
    return text + (chart.labels == LabelOrientation::Vertical ? " (vertical)" : "");
}

// Bars in the list's order, sorted highest first on the charted column; zeros get no bar, values are
// rounded halves to even and may be wider than 16 bits; from six bars on the labels stand.
TEST(ChartModel, BarsFollowTheListSortedHighestFirst) {
    const struct {
        int entry;
        const char *members, *charted;
    } cases[] = {
        {kCountDifference, "Ann:-000002 Bob:+000000 Cid:+000004", "Cid=4 Ann=-2 | Bob Cid Ann"},
        {kGoldDeposits, "Ann:+00012.50 Bob:+00013.50 Cid:+00000.50 Dee:+00000.51 Eve:+123456.00",
         "Eve=123456 Bob=14 Ann=12 Dee=1 | Eve Bob Ann Dee Cid"},
        {kDeposits, "A:+000001 B:+000002 C:+000003 D:+000004 E:+000005", "E=5 D=4 C=3 B=2 A=1 | E D C B A"},
        {kDeposits, "A:+000001 B:+000002 C:+000003 D:+000004 E:+000005 F:+000006",
         "F=6 E=5 D=4 C=3 B=2 A=1 | F E D C B A (vertical)"},
        {kDeposits, "A:+000001 B:+000002 C:+000003 D:+000004 E:+000005 F:+000000", "E=5 D=4 C=3 B=2 A=1 | E D C B A F"},
    };
    for (const auto& c : cases) {
        StatsTable members = Members(c.entry, c.members);
        EXPECT_EQ(Charted(members, c.entry), c.charted) << c.members;
        EXPECT_TRUE(members.sorted() && members.sortKey() == c.entry); // the list is left in the charted order
    }
}

// Weeks in time order across a year's end, deposits up and withdrawals (repairs too) down, gold
// rounded halves to even, entries without a time counted in the title.
TEST(ChartModel, WeeklyChartsOfTheActivity) {
    const testing::ScopedTimeZone utc("UTC0");
    WeeklyActivity activity;
    constexpr std::uint64_t kSunday = 1230465600000, kMonday = 1230552000000; // 2008-12-28 and -29, noon
    const std::tuple<std::optional<std::uint64_t>, const char*, const char*, const char*> entries[] = {
        {kMonday, "4", "15000", "1"},     {kMonday, "5", "10000", "1"}, {kSunday, "4", "25000", "1"},
        {kSunday, "6", "35000", "1"},     {kSunday, "1", "", "20"},     {kSunday, "2", "", "5"},
        {std::nullopt, "4", "10000", "1"}};
    for (const auto& [ts, type, money, count] : entries) {
        BankLogEntry entry;
        entry.ts = ts;
        entry.type = type;
        entry.money = money;
        entry.count = count;
        activity.add(entry);
    }
    auto charted = [&activity](int entry) {
        const ChartModel chart = BuildWeeklyChart(activity, entry);
        std::string text = chart.title + ":";
        for (std::size_t week = 0; week < chart.bars.size(); ++week)
            text += " " + chart.bars[week].label + "=" + std::to_string(chart.bars[week].value) + "/" +
                    std::to_string(chart.below.at(week));
        return text;
    };
    EXPECT_EQ(charted(kFirstWeeklyEntry),
              "Gold deposited and withdrawn by week (1 entries without a time left out): 2008-W52=2/-4 2009-W01=2/-1");
    EXPECT_EQ(charted(kFirstWeeklyEntry + 1),
              "Items deposited and withdrawn by week (1 entries without a time left out): 2008-W52=20/-5 2009-W01=0/0");
    EXPECT_THROW(BuildWeeklyChart(activity, kFirstWeeklyEntry + 2), std::out_of_range);
}

} // namespace
} // namespace coffer
