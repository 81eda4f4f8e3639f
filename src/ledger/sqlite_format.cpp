// SPDX-License-Identifier: MIT
#include "ledger/sqlite_format.h"

#include "analysis/text/web_text.h"
#include "ledger/entry_identity.h"
#include "ledger/entry_list.h"
#include "ledger/ledger_sql.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace coffer {
namespace {

constexpr std::int64_t kApplicationId = 0x436F4C67; // "CoLg"

// Each step brings the schema from the version of its place in the list to the next.
constexpr std::array kUpgradeSteps = {
    R"(
    -- An entry per identity. The identity is not stored: it is that of `text`, found by `hash` and
    -- compared in full. `ts` is the entry's own time; order_time and order_rank place it for analysis.
    CREATE TABLE entry (
        id INTEGER PRIMARY KEY,
        hash INTEGER NOT NULL,
        copies INTEGER NOT NULL,
        ts INTEGER,
        order_time INTEGER NOT NULL,
        order_rank INTEGER NOT NULL,
        text BLOB NOT NULL
    );
    CREATE INDEX entry_by_hash ON entry (hash);
    CREATE INDEX entry_by_ts ON entry (ts);
    CREATE TABLE paste (
        id INTEGER PRIMARY KEY,
        added_at INTEGER NOT NULL,
        entries INTEGER NOT NULL,
        copies_added INTEGER NOT NULL,
        first_ts INTEGER,
        last_ts INTEGER,
        guild_name TEXT,
        guild_realm TEXT,
        file_name TEXT NOT NULL,
        digest INTEGER NOT NULL
    );
    CREATE INDEX paste_by_digest ON paste (digest);
    -- At most one row: the guild of the first paste that named one.
    CREATE TABLE guild (name TEXT NOT NULL, realm TEXT NOT NULL);
    )",
    R"(
    -- The sums of the entries' copies, of all and of those without a time, kept by every add: the
    -- totals without reading every entry.
    CREATE TABLE entry_totals (copies INTEGER NOT NULL, untimed INTEGER NOT NULL);
    INSERT INTO entry_totals
        SELECT coalesce(sum(copies), 0), coalesce(sum(copies) FILTER (WHERE ts IS NULL), 0) FROM entry;
    )",
    R"(
    -- Each entry under its key (EntryKey: the SHA-256 of its identity with its time), unique: an add
    -- finds an entry by it and compares the identity of its text in full; the 64-bit hash goes.
    CREATE TABLE entry_keyed (
        id INTEGER PRIMARY KEY,
        key BLOB NOT NULL,
        copies INTEGER NOT NULL,
        ts INTEGER,
        order_time INTEGER NOT NULL,
        order_rank INTEGER NOT NULL,
        text BLOB NOT NULL
    );
    INSERT INTO entry_keyed SELECT id, coffer_entry_key(text, ts), copies, ts, order_time, order_rank, text FROM entry;
    -- Row by row, so that the upgrade's progress moves: dropping the table alone frees every page at once.
    DELETE FROM entry WHERE id IS NOT NULL;
    DROP TABLE entry;
    ALTER TABLE entry_keyed RENAME TO entry;
    CREATE UNIQUE INDEX entry_by_key ON entry (key);
    CREATE INDEX entry_by_ts ON entry (ts);
    )",
    R"(
    -- The copies of the timed entries per hour (whole hours since 1970 UTC), kept by every add: the
    -- time line's histogram without reading every entry.
    CREATE TABLE entry_hours (hour INTEGER PRIMARY KEY, copies INTEGER NOT NULL);
    INSERT INTO entry_hours SELECT ts / 3600000, sum(copies) FROM entry WHERE ts IS NOT NULL GROUP BY 1;
    )",
    R"(
    -- The entries list: each entry's type, its member's and its item's names with character references
    -- decoded, and those names with A to Z folded for the search, all read from its text. The list's
    -- order (newest first, then the pastes' order, then the key) is an index that also holds what the
    -- search, the period and the Action choice test, so that a filtered list and its count read no
    -- entry's text; a narrower one holds the same without the order, for counts that read every entry;
    -- a member's or an item's few entries are found by an index of each, and put in order apart.
    ALTER TABLE entry ADD COLUMN type INTEGER;
    ALTER TABLE entry ADD COLUMN member BLOB;
    ALTER TABLE entry ADD COLUMN item BLOB;
    ALTER TABLE entry ADD COLUMN member_fold BLOB;
    ALTER TABLE entry ADD COLUMN item_fold BLOB;
    UPDATE entry SET type = coffer_list_field(text, 0), member = coffer_list_field(text, 1),
        item = coffer_list_field(text, 2), member_fold = coffer_list_field(text, 3),
        item_fold = coffer_list_field(text, 4);
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, key, copies, ts, type, member_fold, item_fold);
    CREATE INDEX entry_search ON entry (member_fold, item_fold, type, order_time, ts, copies);
    CREATE INDEX entry_by_member ON entry (member);
    CREATE INDEX entry_by_item ON entry (item);
    )",
    R"(
    -- The names of the members and items in a table of their own, the entries holding their ids: each
    -- name and its folded form once, not in every entry and its indexes. The list's index is in the
    -- list's order, the row id last, and holds what the search, the period and the Action choice test;
    -- it finds a period's entries and the first and last times too. The entries are written anew
    -- without the names.
    CREATE TABLE entry_name (id INTEGER PRIMARY KEY, name BLOB NOT NULL UNIQUE, fold BLOB NOT NULL);
    INSERT INTO entry_name (name, fold)
        SELECT member, member_fold FROM entry WHERE member IS NOT NULL
        UNION SELECT item, item_fold FROM entry WHERE item IS NOT NULL;
    CREATE TABLE entry_named (
        id INTEGER PRIMARY KEY,
        key BLOB NOT NULL,
        copies INTEGER NOT NULL,
        ts INTEGER,
        order_time INTEGER NOT NULL,
        order_rank INTEGER NOT NULL,
        text BLOB NOT NULL,
        type INTEGER,
        member_id INTEGER,
        item_id INTEGER
    );
    INSERT INTO entry_named SELECT id, key, copies, ts, order_time, order_rank, text, type,
        (SELECT id FROM entry_name WHERE name = member), (SELECT id FROM entry_name WHERE name = item) FROM entry;
    DELETE FROM entry WHERE id IS NOT NULL;
    DROP TABLE entry;
    ALTER TABLE entry_named RENAME TO entry;
    CREATE UNIQUE INDEX entry_by_key ON entry (key);
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, id, copies, ts, type, member_id, item_id);
    CREATE INDEX entry_by_member ON entry (member_id);
    CREATE INDEX entry_by_item ON entry (item_id);
    )",
};
static_assert(kUpgradeSteps.size() >= kListNamesVersion);
constexpr std::int64_t kVersion = kUpgradeSteps.size();
// Each step's steps of the virtual machine per entry of the ledger.
constexpr std::array<std::uint64_t, kVersion> kTicksPerEntry = {0, 10, 54, 18, 71, 137};

// coffer_entry_key(text, ts): the key of a stored entry, for the steps only.
void EntryKeyOfText(sqlite3_context* context, int, sqlite3_value** values) {
    const auto* text = static_cast<const char*>(sqlite3_value_blob(values[0]));
    const std::string identity = EntryIdentity(
        std::string_view(text == nullptr ? "" : text, static_cast<std::size_t>(sqlite3_value_bytes(values[0]))));
    const std::optional<std::int64_t> ts =
        sqlite3_value_type(values[1]) == SQLITE_NULL ? std::nullopt : std::optional(sqlite3_value_int64(values[1]));
    const std::string key = EntryKey(identity, ts);
    sqlite3_result_blob64(context, key.data(), key.size(), SQLITE_TRANSIENT);
}

// coffer_list_field(text, n): the list's column n (type, member, item, member_fold, item_fold) of a
// stored entry, for the steps only. A step asks for every column of one entry in a row: its text is read
// once.
struct LastEntry {
    std::string text;
    EntryFields fields;
};

void ListFieldOfText(sqlite3_context* context, int, sqlite3_value** values) {
    auto& last = *static_cast<LastEntry*>(sqlite3_user_data(context));
    const auto* text = static_cast<const char*>(sqlite3_value_blob(values[0]));
    const std::string_view entry(text == nullptr ? "" : text, static_cast<std::size_t>(sqlite3_value_bytes(values[0])));
    if (entry != last.text) {
        last.text = entry;
        last.fields = ReadEntryFields(entry);
    }
    ListColumn(context, last.fields, sqlite3_value_int(values[1]), SQLITE_TRANSIENT);
}

void RunSteps(SqliteDatabase& db, std::int64_t from, std::int64_t to) {
    // Called by the steps' own statements only, never from anything of the file's schema.
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    sqlite3_create_function_v2(db.handle(), "coffer_entry_key", 2, kFlags, nullptr, &EntryKeyOfText, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db.handle(), "coffer_list_field", 2, kFlags, new LastEntry, &ListFieldOfText, nullptr,
                               nullptr, [](void* last) { delete static_cast<LastEntry*>(last); });
    for (std::int64_t step = from; step < to; ++step)
        db.execute(kUpgradeSteps[static_cast<std::size_t>(step)]);
}

// For each version, the schema that the steps write: each version created once, in memory, so that the
// allow-list follows every change of the steps.
const std::vector<std::vector<SchemaObject>>& SchemaOfEachVersion() {
    static const std::vector<std::vector<SchemaObject>> schemas = [] {
        std::vector<std::vector<SchemaObject>> made;
        for (std::int64_t version = 0; version <= kVersion; ++version) {
            SqliteDatabase db(":memory:", SqliteDatabase::Access::ReadWrite, {});
            RunSteps(db, 0, version);
            made.push_back(ReadMarks(db).schema);
        }
        return made;
    }();
    return schemas;
}

} // namespace

std::int64_t LedgerFormatVersion() {
    return kVersion;
}

void UpgradeLedgerSchema(SqliteDatabase& db, std::int64_t from, std::int64_t to) {
    RunSteps(db, from, to);
    db.execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    db.execute(("PRAGMA user_version = " + std::to_string(to)).c_str());
}

bool UpgradeCompacts(std::int64_t from) {
    // The step that keyed the entries and the one that took their names out.
    return from != 0 && from < kListNamesVersion;
}

std::uint64_t UpgradeTicks(std::int64_t from, std::int64_t to, std::uint64_t entries) {
    std::uint64_t ticks = 0;
    for (std::int64_t step = from; step < to; ++step)
        ticks += kTicksPerEntry[static_cast<std::size_t>(step)] * entries;
    return ticks;
}

FileMarks ReadMarks(SqliteDatabase& db) {
    FileMarks marks;
    SqliteStatement id(db, "PRAGMA application_id");
    marks.applicationId = id.step() ? id.integer(0) : 0;
    SqliteStatement version(db, "PRAGMA user_version");
    marks.version = version.step() ? version.integer(0) : 0;
    SqliteStatement schema(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY rowid");
    while (schema.step())
        marks.schema.push_back({std::string(schema.bytes(0)), std::string(schema.bytes(1)),
                                std::string(schema.bytes(2)), std::string(schema.bytes(3))});
    return marks;
}

void CheckMarks(const FileMarks& marks, const std::string& path) {
    if ((!marks.schema.empty() && marks.applicationId != kApplicationId) || marks.version < 0)
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger.");
    if (marks.version > kVersion)
        throw LedgerError(LedgerErrorKind::NewerVersion,
                          path + " is a ledger of a newer Coffer (version " + std::to_string(marks.version) +
                              "); this program reads ledgers up to version " + std::to_string(kVersion) + ".");
    const auto refuse = [&](const char* verb, const SchemaObject& object) {
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger (it " + verb + " " +
                                                           CleanText(object.type) + " " + CleanText(object.name) +
                                                           ").");
    };
    const std::vector<SchemaObject>& allowed = SchemaOfEachVersion()[static_cast<std::size_t>(marks.version)];
    for (const SchemaObject& object : marks.schema)
        if (std::ranges::find(allowed, object) == allowed.end())
            refuse("holds", object);
    for (const SchemaObject& object : allowed)
        if (std::ranges::find(marks.schema, object) == marks.schema.end())
            refuse("lacks", object);
}

void CheckHeader(const std::string& path) {
    // A named pipe would keep the read waiting, a device would read as an empty ledger.
    std::error_code error;
    if (const auto status = std::filesystem::status(path, error);
        !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger.");
    std::ifstream file(path, std::ios::binary);
    unsigned char header[100] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    if (file.gcount() == 0)
        return;
    if (file.gcount() < 16 ||
        std::string_view(reinterpret_cast<char*>(header), 16) != std::string_view("SQLite format 3\0", 16))
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger.");
    const auto number = [&](int at, int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | header[at + i];
        return value;
    };
    // The page count of the header holds where the change counter beside it is that of the last write.
    const std::uint64_t pageSize = number(16, 2) == 1 ? 65536 : number(16, 2), pages = number(28, 4);
    const bool logBeside = std::filesystem::exists(path + "-wal", error);
    const auto size = std::filesystem::file_size(path, error);
    if (!error && !logBeside && number(24, 4) == number(92, 4) && pages * pageSize > size)
        throw LedgerError(LedgerErrorKind::Damaged, path + ": cannot read the ledger: the file is damaged");
}

} // namespace coffer
