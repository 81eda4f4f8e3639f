#include "report/table_export.h"

namespace coffer {
namespace {

void AppendCsvField(std::string& text, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        text += field;
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

} // namespace

std::string TableText(const StatsTable& table, TableFormat format) {
    const bool csv = format == TableFormat::Csv;
    std::string text;
    auto appendRow = [&](auto cellAt) {
        for (std::size_t c = 0; c < table.columnCount(); ++c) {
            if (c > 0)
                text += csv ? ',' : '\t';
            if (csv)
                AppendCsvField(text, cellAt(c));
            else
                text += cellAt(c);
        }
        text += csv ? "\r\n" : "\n";
    };
    appendRow([&](std::size_t c) -> const std::string& { return table.captions()[c]; });
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        appendRow([&](std::size_t c) -> const std::string& { return table.cell(row, c); });
    return text;
}

} // namespace coffer
