// SPDX-License-Identifier: MIT
#pragma once
// What a ledger file holds: its application id, and for each version the schema exactly as this
// program's creation and upgrade steps write it. A file is data, never code: before anything of it is
// read, its header, its marks and its schema are checked against these, and anything else is refused.

#include "ledger/sqlite_database.h"

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3_context;

namespace coffer {

struct EntryFieldsView;

// The newest version, which this program writes.
std::int64_t LedgerFormatVersion();

// Runs the steps that bring a ledger's schema from version `from` (0: an empty file) to `to`, and marks
// the file as a ledger of that version.
void UpgradeLedgerSchema(SqliteDatabase& db, std::int64_t from, std::int64_t to = LedgerFormatVersion());

// Whether an upgrade from `from` is followed by a compaction: its steps write the entries anew.
bool UpgradeCompacts(std::int64_t from);

// The work of the steps from `from` to `to` on a ledger of `entries` entries, in steps of SQLite's
// virtual machine, as measured on large ledgers: the total of an upgrade's progress.
std::uint64_t UpgradeTicks(std::int64_t from, std::int64_t to, std::uint64_t entries);

// Column `index` of the list's (type, member, item, member_fold, item_fold, money, item_count, tab) of an
// entry's fields, as the result of a function called by a statement; `names` tells SQLite whether to copy a
// name or the tab.
void ListColumn(sqlite3_context* context, const EntryFieldsView& fields, int index, void (*names)(void*));

// Gives the connection the functions that the list's statements call.
void AddListFunctions(SqliteDatabase& db);

// One row of sqlite_schema: what the checks compare.
struct SchemaObject {
    std::string type, name, table, sql;
    bool operator==(const SchemaObject&) const = default;
};

struct FileMarks {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    std::vector<SchemaObject> schema;
    // From the file's header: how SQLite reads the schema (4: descending indexes among others) and its
    // texts (1: UTF-8). A file without tables may leave both 0.
    std::uint32_t schemaFormat = 4, textEncoding = 1;
};

[[nodiscard]] FileMarks ReadMarks(SqliteDatabase& db);

// Throws a LedgerError unless the marks are those of a ledger of this program, of a version it knows,
// with exactly that version's schema, read as this program writes it; a file without tables and
// without another program's marks is a new ledger.
void CheckMarks(const FileMarks& marks, const std::string& path);

// Throws a LedgerError unless the file is missing, empty, or a regular file that starts as an SQLite
// database does, whose header reads as this program's files do, and that is as long as its header says
// (where no write-ahead log lies beside it, which may hold the rest); and unless no other program left a
// transaction of its own half-done in a rollback journal beside it, which opening the file would undo.
// Checked before SQLite reads the file, whose message would be less clear, and which would write.
void CheckHeader(const std::string& path);

} // namespace coffer
