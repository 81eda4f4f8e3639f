// SPDX-License-Identifier: MIT
#pragma once
// The sort operations of the statistics tables: one that flips the table's direction on every call
// (header clicks use it, so repeated clicks reverse), and two that keep whichever direction puts the
// larger or the smaller first value on top.

#include "analysis/tables/stats_table.h"

#include <functional>
#include <string>

namespace coffer {

// Sorts on the column of header `position` (counted from 1) in the direction opposite to the
// table's current one. An empty table is left as it is (its direction does not flip). False when
// the position has no column.
bool SortByColumn(StatsTable& table, int position);

// Sort on `column`, ending with the larger (or smaller) first value on top; nothing on an empty
// table. When both directions start with equal values the table keeps its previous direction.
void SortHighestFirst(StatsTable& table, int column);
void SortLowestFirst(StatsTable& table, int column);

using RowFilter = std::function<bool(const StatsTable&, std::size_t row)>;
// Appends the row's text to the section's.
using RowWriter = std::function<void(const StatsTable&, std::size_t row, std::string& text)>;

// Walks the table in its current order and joins the writer's text of the rows that pass, stopping
// once `limit` rows are in (at least one row when any passes, whatever the limit).
std::string ScanSection(const StatsTable& table, const RowFilter& passes, int limit, const RowWriter& write);

// Filters of the sections.
RowFilter SignFilter(int column, char sign);
RowFilter NonZeroSignFilter(int column, char sign);
RowFilter ItemValueFilter(const std::string& type);   // type cell contains the word, value not "00000.00"
RowFilter ItemQualityFilter(const std::string& type); // type cell contains the word, quality not 0

} // namespace coffer
