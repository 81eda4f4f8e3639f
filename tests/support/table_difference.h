#pragma once

#include "analysis/stats_table.h"

#include <optional>
#include <string>

namespace coffer::testing {

// Where the tables first differ ("row 3 column 2: 00012.05 / 00000.00"), or nothing when they are alike.
inline std::optional<std::string> FirstDifference(const StatsTable& a, const StatsTable& b) {
    if (a.rowCount() != b.rowCount())
        return std::to_string(a.rowCount()) + " rows / " + std::to_string(b.rowCount()) + " rows";
    for (std::size_t row = 0; row < a.rowCount(); ++row)
        for (std::size_t column = 0; column < a.columnCount(); ++column)
            if (a.cell(row, column) != b.cell(row, column))
                return "row " + std::to_string(row) + " column " + std::to_string(column) + ": " + a.cell(row, column) +
                       " / " + b.cell(row, column);
    return std::nullopt;
}

} // namespace coffer::testing
