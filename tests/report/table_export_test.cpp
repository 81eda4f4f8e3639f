// SPDX-License-Identifier: MIT
#include "report/table_export.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

// Fields holding a comma, a quote or a line break are quoted, with their quotes doubled; every other
// byte stands as it is. Every record ends with CR LF, and the rows come in the table's own order.
TEST(TableExport, CsvQuotesWhatNeedsQuoting) {
    StatsTable table({"Say \"hi\"", "Key"});
    const char* names[] = {"Salt, Pepper", "Line\nbreak", "Car\rriage", "\"", " \xC3\x86lfric's\tAxe ", ""};
    for (const char* name : names)
        table.appendRow({name, std::to_string(table.rowCount() + 1)});
    table.sortRows(1, SortDirection::Descending);
    EXPECT_EQ(TableText(table, TableFormat::Csv), "\"Say \"\"hi\"\"\",Key\r\n"
                                                  ",6\r\n"
                                                  " \xC3\x86lfric's\tAxe ,5\r\n"
                                                  "\"\"\"\",4\r\n"
                                                  "\"Car\rriage\",3\r\n"
                                                  "\"Line\nbreak\",2\r\n"
                                                  "\"Salt, Pepper\",1\r\n");
}

// What a spreadsheet would run or a file cannot hold never gets there: cells that start like a formula
// get an apostrophe in CSV, signed numbers outside the names stay; control characters and bytes that are not UTF-8
// become U+FFFD; a TSV field takes a space for a tab or line break, and says how many cells had one.
TEST(TableExport, NamesCannotRunAndFilesHoldOnlyText) {
    StatsTable table({"Character", "Total Value", "Item"});
    const std::string cells[][3] = {{"=1+1", "-00012.05", "+x"},
                                    {std::string("\x01@me\0\xFF\xC2\x85!", 9), "\x7F", "Salt &amp; \xC3\x86"},
                                    {"\tTab", "-1+2", "a\r\nb"},
                                    {"-1", "@SUM(A1)", "+1."}};
    for (const auto& row : cells)
        table.appendRow({row[0], row[1], row[2]});
    EXPECT_EQ(TableText(table, TableFormat::Csv),
              "Character,Total Value,Item\r\n'=1+1,-00012.05,'+x\r\n"
              "\xEF\xBF\xBD@me\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!,\xEF\xBF\xBD,Salt &amp; \xC3\x86\r\n"
              "'\tTab,'-1+2,\"a\r\nb\"\r\n'-1,'@SUM(A1),'+1.\r\n");
    std::uint64_t spaced = 0;
    const std::string tsv = TableText(table, TableFormat::TabSeparated, &spaced);
    EXPECT_TRUE(
        tsv.ends_with("\n=1+1\t-00012.05\t+x\n\xEF\xBF\xBD@me\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!\t\xEF\xBF\xBD\t"
                      "Salt &amp; \xC3\x86\n Tab\t-1+2\ta  b\n-1\t@SUM(A1)\t+1.\n"))
        << tsv;
    EXPECT_EQ(spaced, 2u);
}

// A file takes a table piece by piece: the pieces make up the text, and a refused piece ends the writing.
TEST(TableExport, PiecesMakeUpTheText) {
    StatsTable table({"Name", "Value"});
    for (int i = 0; i < 20000; ++i)
        table.appendRow({"Member " + std::to_string(i), std::to_string(i)});
    std::string joined;
    int pieces = 0;
    EXPECT_TRUE(WriteTable(table, TableFormat::Csv, [&](std::string_view piece) {
        joined += piece;
        return ++pieces > 0;
    }));
    EXPECT_EQ(joined, TableText(table, TableFormat::Csv));
    EXPECT_GT(pieces, 2);
    pieces = 0;
    EXPECT_FALSE(WriteTable(table, TableFormat::Csv, [&](std::string_view) { return ++pieces < 2; }));
    EXPECT_EQ(pieces, 2);
}

} // namespace
} // namespace coffer
