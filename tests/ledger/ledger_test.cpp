// SPDX-License-Identifier: MIT
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"
#include "store_sql.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <tuple>

namespace coffer {
namespace {

using testing::TempFolder;

// A statement of a reading connection stops past the bound that the file's size sets; one of a connection
// without locks, when the file changed meanwhile (it might have read half a change). Each with its message.
TEST(LedgerTest, AReadEndsPastItsBoundOrWhenTheFileChanges) {
    TempFolder folder;
    const std::string file = (folder / "l.sqlite").string();
    SqliteLedger(file, SqliteDatabase::Access::ReadWrite);
    SqliteDatabase reader(file, SqliteDatabase::Access::ReadOnly, {}),
        inspector(file, SqliteDatabase::Access::Inspect, {});
    {
        SqliteLedger writer(file, SqliteDatabase::Access::ReadWrite);
        std::ignore = AddToLedger(writer, "<?xml?>\n<banklog money=\"5\" player=\"Ann\" type=\"4\"/>\n", {}, 0);
    }
    const std::tuple<SqliteDatabase*, const char*, std::string> reads[] = {
        // Unbounded, some minutes of work.
        {&reader, "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 3e8) SELECT count(*) FROM n",
         " took too long to read: it may be damaged or not a Coffer ledger."},
        {&inspector, "SELECT count(*) FROM entry", " changed while it was read; read it again."}};
    for (const auto& [db, sql, message] : reads) {
        SqliteStatement statement(*db, sql);
        try {
            while (statement.step())
                ;
            ADD_FAILURE() << "read to its end: " << message;
        } catch (const LedgerError& error) {
            EXPECT_EQ(error.what(), file + message);
        }
    }
}

// No connection maps the file: a mapped page that another program truncated, or that a network share
// fails to read, would end the program with SIGBUS. Neither a writer's, nor a reader's (that of a merge's
// other ledger too), nor one that looks at a file before it is known to be a ledger (as one without locks
// reads it).
TEST(LedgerTest, NoConnectionMapsTheFile) {
    TempFolder folder;
    const std::string file = (folder / "l.sqlite").string();
    testing::StoreSql<SqliteLedger> writer(file, SqliteDatabase::Access::ReadWrite),
        reader(file, SqliteDatabase::Access::ReadOnly);
    SqliteDatabase inspector(file, SqliteDatabase::Access::Inspect, {});
    SqliteStatement inspected(inspector, "PRAGMA mmap_size");
    ASSERT_TRUE(inspected.step());
    EXPECT_EQ(inspected.integer(0), 0);
    for (auto* ledger : {&writer, &reader}) {
        std::int64_t mapped = -1;
        EXPECT_TRUE(ledger->withListSql([&](LedgerSql& sql, ListNames&) {
            sql.run("PRAGMA mmap_size", {}, [&](const SqlRow& row) { mapped = row.integer(0); });
        }));
        EXPECT_EQ(mapped, 0) << (ledger == &writer ? "the writer's" : "the reader's");
    }
}

} // namespace
} // namespace coffer
