#include "ui/charts/chart_model.h"

#include "analysis/transaction_totals.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace coffer {

void PrintTo(const ChartBar& bar, std::ostream* out) {
    *out << bar.label << "=" << bar.value;
}

namespace {

using Cells = std::vector<std::pair<std::string, std::string>>; // member name, cell of the charted column

// A finished member table whose `column` holds the given cells; every other cell is zero.
StatsTable MembersWith(int column, const Cells& members) {
    StatsTable table = MakeMemberTable();
    for (const auto& [name, cell] : members) {
        std::vector<std::string> cells(kMemberColumnCount, "+000000");
        cells[kCharacter] = name;
        cells[static_cast<std::size_t>(column)] = cell;
        table.appendRow(std::move(cells));
    }
    return table;
}

std::vector<std::string> ListOrder(const StatsTable& table) {
    std::vector<std::string> names;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        names.push_back(table.cell(row, kCharacter));
    return names;
}

TEST(ChartModel, BarsFollowTheListSortedHighestFirstAndSkipZeros) {
    struct Case {
        const char* scenario;
        int entry;
        Cells members;
        std::vector<ChartBar> bars;
        std::vector<std::string> listOrder;
    };
    const std::vector<Case> cases = {
        {"deposits: largest first, a zero gets no bar",
         kDeposits,
         {{"Ann", "+000003"}, {"Bob", "+000000"}, {"Cid", "+000012"}},
         {{"Cid", 12}, {"Ann", 3}},
         {"Cid", "Ann", "Bob"}},
        {"overall transactions: a negative difference is a bar below zero, a zero difference none",
         kCountDifference,
         {{"Ann", "-000002"}, {"Bob", "+000000"}, {"Cid", "+000004"}},
         {{"Cid", 4}, {"Ann", -2}},
         {"Bob", "Cid", "Ann"}},
        {"repairs: members without any first, then the smallest bill up",
         kRepairs,
         {{"Ann", "-00004.00"}, {"Bob", "+00000.00"}, {"Cid", "-00150.00"}, {"Dee", "-00012.00"}},
         {{"Ann", -4}, {"Dee", -12}, {"Cid", -150}},
         {"Bob", "Ann", "Dee", "Cid"}},
        {"gold: halves go to the even neighbour, half a gold counts as zero",
         kGoldDeposits,
         {{"Ann", "+00012.50"}, {"Bob", "+00013.50"}, {"Cid", "+00000.50"}, {"Dee", "+00000.51"}},
         {{"Bob", 14}, {"Ann", 12}, {"Dee", 1}},
         {"Bob", "Ann", "Dee", "Cid"}},
        {"values wider than 16 bits are charted as they are",
         kTotalValue,
         {{"Ann", "-40000.00"}, {"Bob", "+123456.00"}, {"Cid", "+070000.00"}},
         {{"Cid", 70000}, {"Bob", 123456}, {"Ann", -40000}},
         {"Cid", "Bob", "Ann"}},
        {"every value zero: no bars", kDepositValue, {{"Ann", "+00000.00"}, {"Bob", "+00000.49"}}, {}, {"Bob", "Ann"}},
        {"no members: no bars", kDeposits, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        StatsTable members = MembersWith(c.entry, c.members);
        members.setSorted(true);

        const ChartModel chart = BuildChart(members, c.entry);

        EXPECT_EQ(chart.bars, c.bars);
        EXPECT_EQ(ListOrder(members), c.listOrder);
        if (c.members.empty()) {
            EXPECT_FALSE(members.sorted()) << "automatic sorting is switched off and nothing sorts an empty list";
        } else {
            EXPECT_TRUE(members.sorted());
            EXPECT_EQ(members.sortKey(), c.entry);
        }
    }
}

TEST(ChartModel, EachEntryChartsItsColumnUnderItsTitle) {
    // Entry, title, and the caption of the member column it charts.
    const std::vector<std::tuple<int, std::string, std::string>> entries = {
        {1, "Deposits", "Deposits"},
        {2, "Withdrawls", "Withdrawls"},
        {3, "Overall Transactions", "Difference"},
        {4, "Quality Deposits", "Deposit Quality"},
        {5, "Quality Withdrawls", "Withdrawl Quality"},
        {6, "Overall Quality Transactions", "Difference"},
        {7, "ItemValue Deposits", "Deposit Value"},
        {8, "ItemValue Withdrawls", "Withdrawl Value"},
        {9, "Overall ItemValue Transactions", "Difference"},
        {10, "Gold Deposits", "Gold Deposits"},
        {11, "Gold Withdrawls", "Gold Withdrawls"},
        {12, "Repairs", "Repairs"},
        {13, "Overall value of all transactions", "Total Value"},
    };
    for (const auto& [entry, title, caption] : entries) {
        SCOPED_TRACE(title);
        // Every column holds its own number, so the one bar tells which column was charted.
        StatsTable members = MakeMemberTable();
        std::vector<std::string> cells{"Ann"};
        for (int column = 1; column < kMemberColumnCount; ++column)
            cells.push_back("+0000" + std::to_string(10 + column));
        members.appendRow(std::move(cells));

        const ChartModel chart = BuildChart(members, entry);

        EXPECT_EQ(chart.title, title);
        EXPECT_EQ(members.captions()[static_cast<std::size_t>(members.sortKey())], caption);
        EXPECT_EQ(chart.bars, (std::vector<ChartBar>{{"Ann", 10 + entry}}));
    }
}

TEST(ChartModel, LabelsStandVerticallyFromSixBars) {
    struct Case {
        Cells members;
        LabelOrientation labels;
    };
    const std::vector<Case> cases = {
        {{}, LabelOrientation::Horizontal},
        {{{"A", "+000001"}, {"B", "+000002"}, {"C", "+000003"}, {"D", "+000004"}, {"E", "+000005"}},
         LabelOrientation::Horizontal},
        {{{"A", "+000001"}, {"B", "+000002"}, {"C", "+000003"}, {"D", "+000004"}, {"E", "+000005"}, {"F", "+000006"}},
         LabelOrientation::Vertical},
        // Six members, but the one without deposits gets no bar: five labels.
        {{{"A", "+000001"}, {"B", "+000002"}, {"C", "+000003"}, {"D", "+000004"}, {"E", "+000005"}, {"F", "+000000"}},
         LabelOrientation::Horizontal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.members.size());
        StatsTable members = MembersWith(kDeposits, c.members);
        EXPECT_EQ(BuildChart(members, kDepositsEntry).labels, c.labels);
    }
}

TEST(ChartModel, RejectsEntriesOutsideTheChartTypes) {
    StatsTable members = MembersWith(kDeposits, {{"Ann", "+000001"}});
    EXPECT_THROW(BuildChart(members, 0), std::out_of_range);
    EXPECT_THROW(BuildChart(members, 14), std::out_of_range);
}

} // namespace
} // namespace coffer
