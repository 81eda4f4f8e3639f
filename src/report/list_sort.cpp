// SPDX-License-Identifier: MIT
#include "report/list_sort.h"

#include "analysis/tables/cell_number.h"
#include "analysis/tables/transaction_totals.h"
#include "analysis/text/text_util.h"

namespace coffer {
namespace {

WideAmount FirstValue(const StatsTable& table, int column) {
    return RoundedValue(table.cell(0, static_cast<std::size_t>(column)));
}

template <typename Keep> void SortKeeping(StatsTable& table, int column, Keep keepFirstDirection) {
    if (table.rowCount() == 0)
        return;
    SortByColumn(table, column + 1);
    const WideAmount a = FirstValue(table, column);
    SortByColumn(table, column + 1);
    const WideAmount b = FirstValue(table, column);
    if (keepFirstDirection(a, b))
        SortByColumn(table, column + 1);
}

} // namespace

bool SortByColumn(StatsTable& table, int position) {
    const int column = position - 1;
    if (column < 0 || static_cast<std::size_t>(column) >= table.columnCount())
        return false;
    if (table.rowCount() == 0)
        return true;
    table.setSorted(true);
    const SortDirection flipped =
        table.direction() == SortDirection::Ascending ? SortDirection::Descending : SortDirection::Ascending;
    table.sortRows(column, flipped);
    return true;
}

void SortHighestFirst(StatsTable& table, int column) {
    SortKeeping(table, column, [](WideAmount a, WideAmount b) { return a > b; });
}

void SortLowestFirst(StatsTable& table, int column) {
    SortKeeping(table, column, [](WideAmount a, WideAmount b) { return a < b; });
}

std::string ScanSection(const StatsTable& table, const RowFilter& passes, int limit, const RowWriter& write) {
    std::string text;
    int count = 0;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        if (!passes(table, row))
            continue;
        write(table, row, text);
        if (++count >= limit)
            break;
    }
    return text;
}

RowFilter SignFilter(int column, char sign) {
    return [column, sign](const StatsTable& table, std::size_t row) {
        return table.cell(row, static_cast<std::size_t>(column)).find(sign) != std::string::npos;
    };
}

RowFilter NonZeroSignFilter(int column, char sign) {
    return [column, sign](const StatsTable& table, std::size_t row) {
        const std::string_view cell = table.cell(row, static_cast<std::size_t>(column));
        return cell.find(sign) != std::string::npos && RoundedValue(cell) != 0;
    };
}

RowFilter ItemValueFilter(const std::string& type) {
    return [type](const StatsTable& table, std::size_t row) {
        return ContainsNoCase(table.cell(row, kItemType), type) && table.cell(row, kItemValue) != kNoValue;
    };
}

RowFilter ItemQualityFilter(const std::string& type) {
    return [type](const StatsTable& table, std::size_t row) {
        return ContainsNoCase(table.cell(row, kItemType), type) && RoundedValue(table.cell(row, kQuality)) != 0;
    };
}

} // namespace coffer
