#include "report/table_export.h"

#include "analysis/transaction_totals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace coffer {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// A reader of RFC 4180 text written independently of the writer: quoted fields may hold anything,
// a doubled quote inside them is one quote, records end at CR LF and no other line break stands bare.
Rows ReadCsv(const std::string& text) {
    Rows rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::exchange(field, {}));
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(std::exchange(field, {}));
            rows.emplace_back();
            ++i;
        } else {
            EXPECT_TRUE(c != '\r' && c != '\n') << "a line break outside quotes";
            field += c;
        }
    }
    EXPECT_TRUE(rows.back().empty() && field.empty()) << "the last record ends with CR LF";
    rows.pop_back();
    return rows;
}

TEST(TableExport, CsvRoundTripsEveryCellInTheTablesOrder) {
    StatsTable items = MakeItemTable();
    const std::vector<std::string> names = {
        "Plain", "Salt, Pepper", "Say \"hi\"",   "Tab\there", "Line\nbreak", "Car\rriage", "Both\r\nends",
        "\"",    " spaced ",     "Ælfric's Æxe", ""};
    for (const std::string& name : names)
        items.appendRow({name, "00001", "2", "00000.00", "Deposit", name + ",member", ""});
    items.sortRows(0, SortDirection::Ascending);

    const Rows rows = ReadCsv(TableText(items, TableFormat::Csv));
    ASSERT_EQ(rows.size(), items.rowCount() + 1);
    EXPECT_EQ(rows[0], items.captions());
    for (std::size_t row = 0; row < items.rowCount(); ++row)
        for (std::size_t column = 0; column < items.columnCount(); ++column)
            EXPECT_EQ(rows[row + 1].at(column), items.cell(row, column)) << row << ", " << column;
}

} // namespace
} // namespace coffer
