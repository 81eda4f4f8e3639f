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

} // namespace
} // namespace coffer
