#include "report/list_sort.h"

#include <gtest/gtest.h>

#include <vector>

namespace coffer {
namespace {

// A two-column table: a name and one key cell per row.
StatsTable Table(const std::vector<std::string>& keys) {
    StatsTable table({"Name", "Key"});
    for (std::size_t i = 0; i < keys.size(); ++i)
        table.appendRow({"r" + std::to_string(i), keys[i]});
    return table;
}

std::vector<std::string> Keys(const StatsTable& table) {
    std::vector<std::string> keys;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        keys.push_back(table.cell(row, 1));
    return keys;
}

using Keys_ = std::vector<std::string>;

TEST(ListSort, HighestAndLowestFirstOnSignedCells) {
    struct Case {
        Keys_ keys, highest, lowest;
    };
    const Case cases[] = {
        {{"+000003", "+000012", "-000005"}, {"+000003", "+000012", "-000005"}, {"-000005", "+000012", "+000003"}},
        {{"+00000.00", "-00012.00", "-00150.00"},
         {"+00000.00", "-00012.00", "-00150.00"},
         {"-00150.00", "-00012.00", "+00000.00"}},
        {{"+000000", "+000007", "+000002"}, {"+000007", "+000002", "+000000"}, {"+000000", "+000002", "+000007"}},
        {{"-000001", "-000009"}, {"-000001", "-000009"}, {"-000009", "-000001"}},
        // Wider numbers and unpadded cells still sort by magnitude.
        {{"+099999", "+1000000", "+000005"}, {"+1000000", "+099999", "+000005"}, {"+000005", "+099999", "+1000000"}},
        {{"9", "10", "100"}, {"100", "10", "9"}, {"9", "10", "100"}},
        {{"00012.05", "00012.5", "00012.10"},
         {"00012.5", "00012.10", "00012.05"},
         {"00012.5", "00012.10", "00012.05"}}, // first values round alike
    };
    for (const Case& c : cases) {
        StatsTable table = Table(c.keys);
        SortHighestFirst(table, 1);
        EXPECT_EQ(Keys(table), c.highest);
        SortLowestFirst(table, 1);
        EXPECT_EQ(Keys(table), c.lowest);
        EXPECT_TRUE(table.sorted());
        EXPECT_EQ(table.sortKey(), 1);
    }
}

TEST(ListSort, EveryCallFlipsTheTablesOwnDirection) {
    StatsTable table({"Name", "A", "B"});
    table.appendRow({"x", "+000001", "b"});
    table.appendRow({"y", "+000002", "A"});
    table.appendRow({"z", "+000002", "c"});
    auto names = [&]() {
        std::string s;
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            s += table.cell(row, 0);
        return s;
    };
    ASSERT_TRUE(EnhListView_SortColumns(table, 2));
    EXPECT_EQ(table.direction(), SortDirection::Ascending);
    EXPECT_EQ(names(), "xyz"); // equal keys keep the order rows were added
    ASSERT_TRUE(EnhListView_SortColumns(table, 2));
    EXPECT_EQ(names(), "zyx"); // descending is the exact reverse
    // Another column continues from the table's direction, not the column's.
    ASSERT_TRUE(EnhListView_SortColumns(table, 3));
    EXPECT_EQ(table.direction(), SortDirection::Ascending);
    EXPECT_EQ(names(), "yxz"); // letter case ignored
    EXPECT_FALSE(EnhListView_SortColumns(table, 4));
    EXPECT_FALSE(EnhListView_SortColumns(table, 0));
    EXPECT_EQ(names(), "yxz");

    // An empty table returns true and does not flip.
    StatsTable empty({"Name", "Key"});
    EXPECT_TRUE(EnhListView_SortColumns(empty, 2));
    EXPECT_EQ(empty.direction(), SortDirection::Descending);
    EXPECT_FALSE(empty.sorted());
    SortHighestFirst(empty, 1);
    EXPECT_EQ(empty.direction(), SortDirection::Descending);
}

TEST(ListSort, EqualFirstValuesKeepThePreviousDirection) {
    for (const SortDirection before : {SortDirection::Ascending, SortDirection::Descending}) {
        StatsTable table = Table({"+000004"});
        if (before == SortDirection::Ascending)
            EnhListView_SortColumns(table, 2);
        ASSERT_EQ(table.direction(), before);
        SortHighestFirst(table, 1);
        EXPECT_EQ(table.direction(), before);
    }
    // Values that round alike count as equal: +00012.50 and +00012.49 both give 12.
    StatsTable table = Table({"+00012.50", "+00012.49"});
    SortHighestFirst(table, 1);
    EXPECT_EQ(table.direction(), SortDirection::Descending);
}

TEST(ListSort, MixedCellsSortNumbersBeforeTexts) {
    StatsTable table = Table({"ABC", "10", "", "9", "Abd", "1/", "abc", "010.00", "ABC", "10"});
    auto names = [&]() {
        Keys_ names;
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            names.push_back(table.cell(row, 0));
        return names;
    };
    EnhListView_SortColumns(table, 2);
    EXPECT_EQ(Keys(table), (Keys_{"9", "10", "010.00", "10", "", "1/", "ABC", "abc", "ABC", "Abd"}));
    // Different texts of one key (a number written two ways, letter case) keep the order rows were added.
    EXPECT_EQ(names(), (Keys_{"r3", "r1", "r7", "r9", "r2", "r5", "r0", "r6", "r8", "r4"}));
    table.sortRows(1, SortDirection::Descending);
    table.sortRows(0, SortDirection::Ascending);
    table.sortRows(1, SortDirection::Descending);
    EXPECT_EQ(names(), (Keys_{"r4", "r8", "r6", "r0", "r5", "r2", "r9", "r7", "r1", "r3"}));
}

TEST(ListSort, SectionScanStopsAtTheLimitAndFilters) {
    StatsTable table = Table({"+00000.50", "+00000.51", "+00001.50", "-00003.00", "+00000.00", "-00000.50"});
    auto write = [](const StatsTable& t, std::size_t row) { return t.cell(row, 1) + ";"; };
    struct Case {
        RowFilter filter;
        int limit;
        std::string text;
    };
    const Case cases[] = {
        {NonZeroSignFilter(1, '+'), 10, "+00000.51;+00001.50;"},
        {NonZeroSignFilter(1, '-'), 10, "-00003.00;"},
        {SignFilter(1, '+'), 10, "+00000.50;+00000.51;+00001.50;+00000.00;"},
        {SignFilter(1, '+'), 2, "+00000.50;+00000.51;"},
        {SignFilter(1, '-'), 0, "-00003.00;"}, // at least one row passes even below 1
        {SignFilter(1, '-'), -5, "-00003.00;"},
        {NonZeroSignFilter(1, '*'), 10, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScanSection(table, c.filter, c.limit, write), c.text);
}

TEST(ListSort, ItemFilters) {
    StatsTable items({"Item", "Quality", "Quantity", "Value", "Type", "Name", "Lorehold Item"});
    items.appendRow({"a", "00000", "1", "00001.00", "Deposit", "x", ""});
    items.appendRow({"b", "00050", "1", "00000.00", "DEPOSIT", "x", ""});
    items.appendRow({"c", "7", "1", "0000.00", "Withdrawal", "x", ""});
    items.appendRow({"d", "", "1", "00002.00", "Withdrawal", "x", ""});
    auto names = [&](const RowFilter& filter) {
        return ScanSection(items, filter, 10, [](const StatsTable& t, std::size_t row) { return t.cell(row, 0); });
    };
    EXPECT_EQ(names(ItemValueFilter("Deposit")), "a");
    EXPECT_EQ(names(ItemValueFilter("Withdrawal")), "cd"); // only exactly "00000.00" means no value
    EXPECT_EQ(names(ItemQualityFilter("Deposit")), "b");
    EXPECT_EQ(names(ItemQualityFilter("Withdrawal")), "c");
}

} // namespace
} // namespace coffer
