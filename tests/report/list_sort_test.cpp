// SPDX-License-Identifier: MIT
#include "report/list_sort.h"

#include <gtest/gtest.h>

#include <tuple>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace coffer {
namespace {

// A two-column table: a name and one key cell per row.
StatsTable Table(const std::vector<std::string>& keys) {
    StatsTable table({"Name", "Key"});
    for (std::size_t i = 0; i < keys.size(); ++i)
        table.appendRow({std::string("r").append(std::to_string(i)), keys[i]}); // not "r" + ...: GCC 12 -Wrestrict
    return table;
}

std::vector<std::string> Column(const StatsTable& table, std::size_t column) {
    std::vector<std::string> cells;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        cells.emplace_back(table.cell(row, column));
    return cells;
}

using Keys = std::vector<std::string>;

// A cell of a few letters, or a number: signed or not, zero-padded or not, up to 28 whole digits,
// with or without a fraction. Few distinct characters, so that equal keys are common.
std::string RandomCell(std::mt19937& random) {
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const auto chars = [&](const char* alphabet, std::size_t count) {
        std::string text;
        while (count-- > 0)
            text += alphabet[pick(std::strlen(alphabet))];
        return text;
    };
    if (pick(4) == 0)
        return chars("aB_b", pick(3));
    const std::string cell =
        chars("+-", pick(2)) + std::string(pick(4), '0') + chars("019", 1 + pick(pick(2) ? 3 : 25));
    return pick(2) ? cell : cell + "." + chars("05", 1 + pick(20));
}

// The order written plainly: non-negative numbers, then negative ones, each by magnitude (the digits
// aligned on the point), then texts by their characters with A to Z taken as a to z.
std::pair<int, std::string> ReferenceKey(std::string cell) {
    if (cell.find_first_of("0123456789") == std::string::npos) {
        for (char& c : cell)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return {2, cell};
    }
    const std::string digits = cell.substr(cell.find_first_not_of("+-"));
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::string fraction = point < digits.size() ? digits.substr(point + 1) : "";
    return {cell[0] == '-' ? 1 : 0,
            std::string(40 - point, '0') + digits.substr(0, point) + fraction + std::string(40 - fraction.size(), '0')};
}

TEST(ListSort, SortsAsAPlainStableSortOfTheCells) {
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        StatsTable table({"Key"});
        std::vector<std::pair<int, std::string>> keys;
        for (std::size_t rows = 1 + random() % 40; keys.size() < rows;) {
            const std::string cell = RandomCell(random);
            table.appendRow({cell});
            keys.push_back(ReferenceKey(cell));
        }
        std::vector<StatsTable::RowId> ascending(keys.size());
        std::iota(ascending.begin(), ascending.end(), 0);
        std::stable_sort(ascending.begin(), ascending.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
        // Several sorts in a row, as header clicks make them: a flip of a sorted table only reverses it.
        for (int sort = 0; sort < 3; ++sort) {
            const bool descending = random() % 2 != 0;
            table.sortRows(0, descending ? SortDirection::Descending : SortDirection::Ascending);
            std::vector<StatsTable::RowId> order;
            for (std::size_t row = 0; row < table.rowCount(); ++row)
                order.push_back(table.rowIdAt(row));
            if (descending)
                std::reverse(order.begin(), order.end());
            ASSERT_EQ(order, ascending) << "round " << round << ", sort " << sort;
        }
    }
}

TEST(ListSort, HighestAndLowestFirstOnSignedCells) {
    const std::tuple<Keys, Keys, Keys> cases[] = {
        {{"+000003", "+000012", "-000005"}, {"+000003", "+000012", "-000005"}, {"-000005", "+000012", "+000003"}},
        {{"+00000.00", "-00012.00", "-00150.00"},
         {"+00000.00", "-00012.00", "-00150.00"},
         {"-00150.00", "-00012.00", "+00000.00"}},
        {{"00012.05", "00012.5", "00012.10"},
         {"00012.5", "00012.10", "00012.05"},
         {"00012.5", "00012.10", "00012.05"}}, // first values round alike
    };
    for (const auto& [keys, highest, lowest] : cases) {
        StatsTable table = Table(keys);
        SortHighestFirst(table, 1);
        EXPECT_EQ(Column(table, 1), highest);
        SortLowestFirst(table, 1);
        EXPECT_EQ(Column(table, 1), lowest);
        EXPECT_TRUE(table.sorted());
        EXPECT_EQ(table.sortKey(), 1);
    }
}

// How clicks flip the direction from column to column the window's list test shows through real header
// clicks; here what a click cannot reach. An empty table does not flip.
TEST(ListSort, EveryCallFlipsTheTablesOwnDirection) {
    StatsTable table = Table({"+000001", "+000002"});
    EXPECT_FALSE(SortByColumn(table, 3));
    EXPECT_FALSE(SortByColumn(table, 0));
    EXPECT_EQ(Column(table, 0), (Keys{"r0", "r1"}));
    StatsTable empty({"Name", "Key"});
    EXPECT_TRUE(SortByColumn(empty, 2));
    EXPECT_FALSE(empty.sorted());
    SortHighestFirst(empty, 1);
    EXPECT_EQ(empty.direction(), SortDirection::Descending);
    // Equal first and last values keep the direction as it was.
    StatsTable one = Table({"+000004"});
    ASSERT_TRUE(SortByColumn(one, 2));
    SortHighestFirst(one, 1);
    EXPECT_EQ(one.direction(), SortDirection::Ascending);
}

// Rows are named by their first cell.
TEST(ListSort, SectionScanStopsAtTheLimitAndFilters) {
    const StatsTable signs = Table({"+00000.50", "+00000.51", "+00001.50", "-00003.00", "+00000.00", "-00000.50"});
    StatsTable items({"Item", "Quality", "Quantity", "Value", "Type", "Name", "Lorehold Item"});
    items.appendRow({"a", "00000", "1", "00001.00", "Deposit", "x", ""});
    items.appendRow({"b", "00050", "1", "00000.00", "DEPOSIT", "x", ""});
    items.appendRow({"c", "7", "1", "0000.00", "Withdrawal", "x", ""});
    items.appendRow({"d", "", "1", "00002.00", "Withdrawal", "x", ""});
    const struct {
        const StatsTable& table;
        RowFilter filter;
        int limit;
        std::string rows;
    } cases[] = {
        {signs, NonZeroSignFilter(1, '+'), 10, "r1 r2 "},
        {signs, NonZeroSignFilter(1, '-'), 10, "r3 "},
        {signs, SignFilter(1, '+'), 10, "r0 r1 r2 r4 "},
        {signs, SignFilter(1, '+'), 2, "r0 r1 "},
        {signs, SignFilter(1, '-'), 0, "r3 "}, // at least one row passes even below 1
        {signs, NonZeroSignFilter(1, '*'), 10, ""},
        {items, ItemValueFilter("Deposit"), 10, "a "},
        {items, ItemValueFilter("Withdrawal"), 10, "c d "}, // only exactly "00000.00" means no value
        {items, ItemQualityFilter("Deposit"), 10, "b "},
        {items, ItemQualityFilter("Withdrawal"), 10, "c "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScanSection(c.table, c.filter, c.limit,
                              [](const StatsTable& t, std::size_t row, std::string& text) {
                                  text.append(t.cell(row, 0)).append(" ");
                              }),
                  c.rows);
}

} // namespace
} // namespace coffer
