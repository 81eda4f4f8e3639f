// SPDX-License-Identifier: MIT
#include "report/table_export.h"

#include "analysis/text/web_text.h"

#include <algorithm>
#include <string_view>

namespace coffer {
namespace {

bool IsPlain(char c) {
    return c >= 0x20 && c < 0x7F;
}

bool IsBreakOrTab(char c) {
    return c == '\t' || c == '\n' || c == '\r';
}

bool IsNameColumn(std::string_view caption) {
    return caption == "Character" || caption == "Member" || caption == "Item" || caption == "Name";
}

// A number with its sign as the tables write one ("-00012.05", "+000016"), which a spreadsheet reads as
// the number it is.
bool IsSignedNumber(std::string_view field) {
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::size_t point = field.find('.');
    return (field[0] == '+' || field[0] == '-') && digits(field.substr(1, point - 1)) &&
           (point == std::string_view::npos || digits(field.substr(point + 1)));
}

// A cell that a spreadsheet would run gets an apostrophe: any that starts like a formula, but a signed
// number outside the names. A crafted log can put a formula in any cell it fills, not only the names.
template <typename Text> void AppendCsvField(Text& text, std::string_view field, bool name) {
    const bool formula = !field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos &&
                         (name || !IsSignedNumber(field));
    if (formula)
        text += '\'';
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        text.append(field);
        return;
    }
    text += '"';
    for (const char c : field) {
        if (c == '"')
            text += '"';
        text += c;
    }
    text += '"';
}

// Stands for the text where only its length is wanted.
struct TextLength {
    std::size_t size = 0;
    TextLength& operator+=(char) {
        ++size;
        return *this;
    }
    void append(std::string_view part) { size += part.size(); }
};

// Stands for the text where it goes to a sink: gathered into pieces, each handed on when full.
class SinkText {
  public:
    explicit SinkText(const TextSink& sink) : sink_(sink) { piece_.reserve(kPiece); }
    SinkText& operator+=(char c) {
        piece_ += c;
        return *this;
    }
    void append(std::string_view part) {
        piece_.append(part);
        if (piece_.size() >= kPiece)
            flush();
    }
    // Hands on what is gathered; false once the sink has refused a piece.
    bool flush() {
        ok_ = ok_ && sink_(piece_);
        piece_.clear();
        return ok_;
    }

  private:
    static constexpr std::size_t kPiece = std::size_t{1} << 16;
    const TextSink& sink_;
    std::string piece_;
    bool ok_ = true;
};

// Appends one row to `text`: cells counted in `spacedCells` when it is given.
template <typename Text, typename CellAt>
void AppendRow(Text& text, std::size_t columns, CellAt cellAt, std::span<const std::string> captions,
               TableFormat format, std::uint64_t* spacedCells, std::string& cleaned) {
    const bool csv = format == TableFormat::Csv;
    for (std::size_t c = 0; c < columns; ++c) {
        if (c > 0)
            text += csv ? ',' : '\t';
        const std::string_view cell = cellAt(c);
        // Nearly every cell is plain text: only the others are cleaned first.
        std::string_view field = cell;
        if (!std::all_of(cell.begin(), cell.end(), IsPlain)) {
            cleaned.clear();
            AppendCleanText(cleaned, cell, !csv);
            field = cleaned;
            if (spacedCells != nullptr && !csv && std::any_of(cell.begin(), cell.end(), IsBreakOrTab))
                ++*spacedCells;
        }
        if (csv)
            AppendCsvField(text, field, !captions.empty() && IsNameColumn(captions[c]));
        else
            text.append(field);
    }
    text.append(csv ? "\r\n" : "\n");
}

// Appends the table to `text`: cells counted in `spacedCells` when it is given.
template <typename Text>
void AppendTable(Text& text, const StatsTable& table, TableFormat format, std::uint64_t* spacedCells) {
    std::string cleaned;
    const std::vector<std::string>& captions = table.captions();
    AppendRow(
        text, captions.size(), [&](std::size_t c) -> std::string_view { return captions[c]; }, {}, format, nullptr,
        cleaned);
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        AppendRow(
            text, captions.size(), [&](std::size_t c) { return table.cell(row, c); }, captions, format, spacedCells,
            cleaned);
}

} // namespace

std::string TableText(const StatsTable& table, TableFormat format, std::uint64_t* spacedCells) {
    // Measured first: a text that grew as it was written would, at its last step, be held twice.
    TextLength length;
    AppendTable(length, table, format, nullptr);
    std::string text;
    text.reserve(length.size);
    AppendTable(text, table, format, spacedCells);
    return text;
}

bool WriteTable(const StatsTable& table, TableFormat format, const TextSink& sink, std::uint64_t* spacedCells) {
    SinkText text(sink);
    AppendTable(text, table, format, spacedCells);
    return text.flush();
}

struct RowWriter::Text : SinkText {
    using SinkText::SinkText;
};

RowWriter::RowWriter(std::vector<std::string> captions, TableFormat format, const TextSink& sink,
                     std::uint64_t* spacedCells)
    : captions_(std::move(captions)), format_(format), sink_(sink), text_(std::make_unique<Text>(sink_)),
      spacedCells_(spacedCells) {
    AppendRow(
        *text_, captions_.size(), [&](std::size_t c) -> std::string_view { return captions_[c]; }, {}, format_, nullptr,
        cleaned_);
}

RowWriter::~RowWriter() = default;

void RowWriter::row(std::span<const std::string> cells) {
    AppendRow(
        *text_, captions_.size(), [&](std::size_t c) -> std::string_view { return cells[c]; }, captions_, format_,
        spacedCells_, cleaned_);
}

bool RowWriter::finish() {
    return text_->flush();
}

std::string SpacedCellsText(std::uint64_t cells) {
    return std::to_string(cells) + " cells held a tab or line break, each written as a space";
}

} // namespace coffer
