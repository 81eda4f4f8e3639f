// SPDX-License-Identifier: MIT
#pragma once
// A statistics table as a text file: a header row with the column captions, then one line per row in
// the table's current order, every cell as stored except for what a spreadsheet or a text file cannot
// take. NUL and other control characters (tab, CR and LF aside) and bytes that are not UTF-8 become
// U+FFFD; character references such as "&amp;" stay as written.

#include "analysis/tables/stats_table.h"
#include "shell/output_files.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace coffer {

enum class TableFormat {
    // Cells joined by tabs, lines ended by LF, nothing quoted: a tab, CR or LF inside a cell, which a
    // field cannot hold, is written as a space.
    TabSeparated,
    // RFC 4180: commas, CR LF, a field with a comma, quote or line break quoted, quotes doubled. A name
    // (Character, Member, Item, Name) starting with "=", "+", "-", "@", a tab or a CR gets a leading "'", so
    // that a spreadsheet takes it as text rather than a formula.
    Csv,
};

// The file's text; `spacedCells`, when given, counts the cells whose tabs or line breaks became spaces.
std::string TableText(const StatsTable& table, TableFormat format, std::uint64_t* spacedCells = nullptr);

// The same text handed to `sink` in pieces of some kilobytes, never held whole; false when the sink
// refused a piece (nothing more is written then).
bool WriteTable(const StatsTable& table, TableFormat format, const TextSink& sink,
                std::uint64_t* spacedCells = nullptr);

// A table written row by row, as WriteTable writes a table of these captions and rows: for rows that are
// never held all at once.
class RowWriter {
  public:
    RowWriter(std::vector<std::string> captions, TableFormat format, const TextSink& sink,
              std::uint64_t* spacedCells = nullptr);
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;
    void row(std::span<const std::string> cells);
    // Hands on the rest; false when the sink refused a piece.
    bool finish();

  private:
    struct Text;
    std::vector<std::string> captions_;
    TableFormat format_;
    TextSink sink_; // the text's pieces go to it
    std::unique_ptr<Text> text_;
    std::uint64_t* spacedCells_;
    std::string cleaned_;
};

// What the user is told of those cells.
std::string SpacedCellsText(std::uint64_t cells);

} // namespace coffer
