#pragma once
// A statistics table as a text file: a header row with the column captions, then one line per row in
// the table's current order, every cell exactly as stored.

#include "analysis/stats_table.h"

#include <string>

namespace coffer {

enum class TableFormat {
    TabSeparated, // cells joined by tabs, lines ended by LF, nothing quoted
    Csv,          // RFC 4180: commas, CR LF, a field with a comma, quote or line break quoted, quotes doubled
};

std::string TableText(const StatsTable& table, TableFormat format);

} // namespace coffer
