// SPDX-License-Identifier: MIT
#pragma once
// A statistics table: rows of cell texts plus the sort state the views show. Rows keep the order in
// which they were added until a sort reorders them; a hash index (built on the first look-up) finds
// the first row added for a column-0 text, so member rows and item-cache look-ups cost O(1).

#include "analysis/tables/huge_page_allocator.h"
#include "analysis/tables/text_index.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

enum class SortDirection { Ascending = 0, Descending = 1 };

class StatsTable {
  public:
    // Identifies a row for as long as the table is not cleared, whatever its position.
    using RowId = std::uint32_t;

    explicit StatsTable(std::vector<std::string> captions);

    const std::vector<std::string>& captions() const { return captions_; }
    std::size_t columnCount() const { return captions_.size(); }
    std::size_t rowCount() const { return order_.size(); }

    // Cells by position in the current order.
    std::string_view cell(std::size_t row, std::size_t column) const { return cellOf(order_[row], column); }
    RowId rowIdAt(std::size_t row) const { return order_[row]; }

    std::string_view cellOf(RowId id, std::size_t column) const {
        return columns_[column].texts()[cells_[id * columnCount() + column]];
    }

    // A column's distinct texts, and where a cell's text stands among them: a test made once per
    // distinct text answers it for every cell of the column.
    std::span<const std::string_view> distinctTexts(std::size_t column) const { return columns_[column].texts(); }
    std::uint32_t textPlace(std::size_t row, std::size_t column) const {
        return cells_[order_[row] * columnCount() + column];
    }

    // Room for this many rows in all: the table then grows without copying itself (and touching fresh
    // memory for every copy) on the way. Only a hint: untouched room costs no memory.
    void reserveRows(std::size_t rows);
    // Appends a row at the end of the current order; missing cells are empty, extra ones ignored.
    RowId appendRow(const std::vector<std::string>& cells);
    // The same from views: a text already in its column costs no copy.
    RowId appendRow(std::span<const std::string_view> cells);
    // Makes these the first column's texts, whole and without a copy: rows then find their first cell
    // among them. Only for a table without rows.
    void takeFirstColumn(TextIndex&& texts);
    // The first row added whose column-0 text equals the key exactly.
    std::optional<RowId> findFirst(std::string_view key) const;

    // Removes every row; the sort state stays, as it belongs to the view.
    void clear();
    // A table with the same captions and sort state and no rows.
    StatsTable withoutRows() const;

    bool sorted() const { return sorted_; }
    void setSorted(bool sorted) { sorted_ = sorted; }
    int sortKey() const { return sortKey_; }
    SortDirection direction() const { return direction_; }

    // Orders the rows on one column's cells and records the key and direction. Two numbers compare
    // by sign and then magnitude, two texts by their characters with letter case ignored; a number
    // sorts before a text so the order stays total. Equal keys keep the order in which the rows were
    // added, reversed in descending direction, so descending is the exact reverse of ascending.
    void sortRows(int column, SortDirection direction);

  private:
    // Records the row as its first-column text's first row, unless an earlier row has that text.
    void noteFirstRow(RowId id) const;

    std::vector<std::string> captions_;
    // Each column's distinct texts, each held once: most cells repeat one (a quality, a type, a
    // member's name), so a row costs a text's number per cell rather than a string.
    std::vector<TextIndex> columns_;
    // Row-major, indexed by RowId: a text's place in its column.
    std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> cells_;
    std::vector<RowId, HugePageAllocator<RowId>> order_;
    // The first row of each of the first column's texts, by the text's number; kNoRow for a text no
    // row has.
    static constexpr RowId kNoRow = ~RowId{0};
    mutable std::vector<RowId> firstRowOfText_;
    mutable bool indexed_ = false; // firstRowOfText_ covers every row
    bool sorted_ = false;
    int sortKey_ = 0;
    SortDirection direction_ = SortDirection::Descending;
    // True while order_ is exactly the sort on (sortKey_, direction_): a flip then only reverses.
    bool orderIsSorted_ = false;
};

} // namespace coffer
