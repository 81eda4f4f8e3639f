#pragma once
// Two statistics tables alike cell for cell.

#include "analysis/stats_table.h"

#include <gtest/gtest.h>

namespace coffer::testing {

inline void ExpectSameCells(const StatsTable& a, const StatsTable& b) {
    ASSERT_EQ(a.rowCount(), b.rowCount());
    for (std::size_t row = 0; row < a.rowCount(); ++row)
        for (std::size_t column = 0; column < a.columnCount(); ++column)
            ASSERT_EQ(a.cell(row, column), b.cell(row, column)) << "row " << row << " column " << column;
}

} // namespace coffer::testing
