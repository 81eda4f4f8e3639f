// SPDX-License-Identifier: MIT
#include "ledger/sqlite_format.h"

#include "analysis/text/web_text.h"
#include "ledger/entry_identity.h"
#include "ledger/entry_list.h"
#include "ledger/ledger_sql.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
    -- list's order up to the key, the row id in its place, and holds what the search, the period and
    -- the Action choice test; it finds a period's entries and the first and last times too. The entries
    -- are written anew without the names.
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
    R"(
    -- The amounts of each entry's Count and Gold cells and its To tab, read from its text. The list's
    -- index holds the amounts too: the totals of a filtered list read no entry, as its count reads none.
    ALTER TABLE entry ADD COLUMN money INTEGER;
    ALTER TABLE entry ADD COLUMN item_count INTEGER;
    ALTER TABLE entry ADD COLUMN tab BLOB;
    UPDATE entry SET money = coffer_list_field(text, 5), item_count = coffer_list_field(text, 6),
        tab = coffer_list_field(text, 7);
    DROP INDEX entry_in_list;
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, id, copies, ts, type, member_id, item_id, money,
        item_count);
    )",
    R"(
    -- The rules the ledger keeps watch by, each with the time zone whose days and weeks it counts; a rule
    -- taken out of force keeps its row, so that its number is never given again. The alerts the rules
    -- fired, each once: for its rule, its member and its occasion (the day or week of a sum, the key of a
    -- withdrawal from a tab, nothing for a member who never deposited, the start of a gap). The index of
    -- members finds a member's entries of a type and a time with what the rules sum, reading no entry.
    CREATE TABLE alert_rule (id INTEGER PRIMARY KEY, text TEXT NOT NULL, zone TEXT NOT NULL, removed_at INTEGER);
    CREATE TABLE alert (
        id INTEGER PRIMARY KEY,
        rule INTEGER NOT NULL,
        member BLOB NOT NULL,
        occasion BLOB NOT NULL,
        day TEXT NOT NULL,
        line TEXT NOT NULL,
        fired_at INTEGER NOT NULL,
        UNIQUE (rule, member, occasion)
    );
    CREATE INDEX alert_by_time ON alert (fired_at);
    DROP INDEX entry_by_member;
    CREATE INDEX entry_by_member ON entry (member_id, type, ts, money, item_count, copies, tab);
    -- The five sums of the list's totals (of kListSums: the item counts of types 1 and 2, the money of
    -- types 4, 5 and 6, each times the entry's copies) of the timed entries per hour, beside their
    -- copies, and of the untimed ones beside theirs, kept by every add: the totals of everything, of a
    -- period and of an Action choice without reading every entry.
    ALTER TABLE entry_hours ADD COLUMN items_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_hours ADD COLUMN items_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_hours ADD COLUMN gold_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_hours ADD COLUMN gold_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_hours ADD COLUMN repairs INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN items_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN items_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN gold_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN gold_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN repairs INTEGER NOT NULL DEFAULT 0;
    UPDATE entry_hours SET (items_deposited, items_withdrawn, gold_deposited, gold_withdrawn, repairs) =
        (s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT ts / 3600000 AS hour,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE ts IS NOT NULL GROUP BY 1) AS s
        WHERE s.hour = entry_hours.hour;
    UPDATE entry_totals SET (items_deposited, items_withdrawn, gold_deposited, gold_withdrawn, repairs) =
        (SELECT coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0),
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0)
         FROM entry WHERE ts IS NULL);
    )",
    R"(
    -- Beside each name, the copies and the five sums of the list's totals of the entries whose member it
    -- is, and of those whose item it is, kept by every add. The index of members holds each entry's item:
    -- a search's totals take the sums of the names it matches, and read the entries of the fewer members,
    -- those it matches or those it does not.
    DROP INDEX entry_by_member;
    CREATE INDEX entry_by_member ON entry (member_id, type, ts, money, item_count, copies, tab, item_id);
    ALTER TABLE entry_name ADD COLUMN member_copies INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN member_items_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN member_items_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN member_gold_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN member_gold_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN member_repairs INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_copies INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_items_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_items_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_gold_deposited INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_gold_withdrawn INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE entry_name ADD COLUMN item_repairs INTEGER NOT NULL DEFAULT 0;
    UPDATE entry_name SET (member_copies, member_items_deposited, member_items_withdrawn, member_gold_deposited,
            member_gold_withdrawn, member_repairs) =
        (s.copies, s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT member_id AS id, sum(copies) AS copies,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE member_id IS NOT NULL GROUP BY 1) AS s
        WHERE s.id = entry_name.id;
    UPDATE entry_name SET (item_copies, item_items_deposited, item_items_withdrawn, item_gold_deposited,
            item_gold_withdrawn, item_repairs) =
        (s.copies, s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT item_id AS id, sum(copies) AS copies,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE item_id IS NOT NULL GROUP BY 1) AS s
        WHERE s.id = entry_name.id;
    )",
};
static_assert(kUpgradeSteps.size() >= kListNamesVersion);
constexpr std::int64_t kVersion = kUpgradeSteps.size();
// Each step's steps of the virtual machine per entry of the ledger.
constexpr std::array<std::uint64_t, kVersion> kTicksPerEntry = {0, 10, 54, 18, 71, 137, 40, 66, 61};

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

// coffer_list_field(text, n): the list's column n (type, member, item, member_fold, item_fold, money,
// item_count, tab) of a
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
    ListColumn(context, ViewOf(last.fields), sqlite3_value_int(values[1]), SQLITE_TRANSIENT);
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

// The schema that the steps write for a version: made in memory the first time a file of that version is
// checked, so that the allow-list follows every change of the steps, and a process makes only the versions
// it meets (most often one; none of the others for a new file).
const std::vector<SchemaObject>& SchemaOfVersion(std::int64_t version) {
    static std::array<std::once_flag, kVersion + 1> made;
    static std::array<std::vector<SchemaObject>, kVersion + 1> schemas;
    const auto at = static_cast<std::size_t>(version);
    std::call_once(made.at(at), [&] {
        SqliteDatabase db(":memory:", SqliteDatabase::Access::ReadWrite, {});
        RunSteps(db, 0, version);
        schemas[at] = ReadMarks(db).schema;
    });
    return schemas[at];
}

// The header of a file, as far as the file holds one.
struct FileHeader {
    std::array<unsigned char, 100> bytes{};
    std::size_t size = 0;
    // The big-endian number of `count` bytes at `at`.
    [[nodiscard]] std::uint64_t number(std::size_t at, std::size_t count) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value = value << 8 | bytes[at + i];
        return value;
    }
};

FileHeader ReadFileHeader(const std::string& path) {
    FileHeader header;
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(header.bytes.data()), static_cast<std::streamsize>(header.bytes.size()));
    header.size = static_cast<std::size_t>(file.gcount());
    return header;
}

std::uint64_t PageSize(const FileHeader& header) {
    return header.number(16, 2) == 1 ? 65536 : header.number(16, 2);
}

const char* const kForeignHeader = " is damaged: its header is not one this program writes.";

// Whether SQLite reads the file as it reads the files this program writes: pages of a size it makes,
// no bytes reserved at the end of each page, the read and write versions of a journal or a write-ahead
// log, and the schema and texts of format 4 and UTF-8 (or, for a file without tables yet, neither
// set). Another schema format would read the list's descending index in the wrong order, and another
// encoding every name.
bool HeaderReadsAsWritten(const FileHeader& header) {
    if (header.size < header.bytes.size())
        return false;
    const std::uint64_t pageSize = PageSize(header), format = header.number(44, 4), encoding = header.number(56, 4);
    const auto versionKnown = [&](std::size_t at) { return header.number(at, 1) == 1 || header.number(at, 1) == 2; };
    return pageSize >= 512 && pageSize <= 65536 && (pageSize & (pageSize - 1)) == 0 && versionKnown(18) &&
           versionKnown(19) && header.number(20, 1) == 0 && (format == 4 || format == 0) &&
           (encoding == 1 || encoding == 0);
}

// The header as SQLite's own handle of the file reads it. Opening the file anew and closing it would
// drop every lock this process holds on it (POSIX locks go with any close of the file), among them the
// one that tells other programs the file is in use, and their last connection would then fold and
// remove the write-ahead log under this one.
FileHeader HeaderOf(SqliteDatabase& db) {
    FileHeader header;
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file != nullptr &&
        file->pMethods != nullptr && file->pMethods->xFileSize(file, &size) == SQLITE_OK &&
        size >= static_cast<sqlite3_int64>(header.bytes.size()) &&
        file->pMethods->xRead(file, header.bytes.data(), static_cast<int>(header.bytes.size()), 0) == SQLITE_OK)
        header.size = header.bytes.size();
    return header;
}

// SQLite's lock byte that a program writing the file holds while its journal is in use.
constexpr std::uint64_t kReservedLockByte = 0x40000001;

// Whether some process holds a lock on the reserved byte of the file, as /proc/locks lists every
// process's locks: read there, since a test through a handle of the file's own would have to close it.
bool ReservedLockHeld(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(status.st_dev), minor(status.st_dev),
                  static_cast<unsigned long long>(status.st_ino));
    std::ifstream locks("/proc/locks");
    // "1: POSIX  ADVISORY  WRITE 4242 08:01:1835142 1073741825 1073741825", or "1: -> …" for a waiter.
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, pid, lockedFile, start, end;
        fields >> number >> kind;
        if (kind == "->")
            continue;
        fields >> advisory >> mode >> pid >> lockedFile >> start >> end;
        if (lockedFile != file)
            continue;
        const std::uint64_t first = std::strtoull(start.c_str(), nullptr, 10);
        if (first <= kReservedLockByte &&
            (end == "EOF" || std::strtoull(end.c_str(), nullptr, 10) >= kReservedLockByte))
            return true;
    }
    return false;
}

// Whether a rollback journal beside the file holds a transaction that SQLite would undo as it opens the
// file: one that is not empty, not zeroed, and that no program writing the file holds. This program
// writes its ledgers through a write-ahead log; it makes a journal only for the moment of creating one.
bool HasHotJournal(const std::string& path) {
    const int journal = ::open((path + "-journal").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (journal < 0)
        return false;
    struct stat status {};
    char first = 0;
    const bool filled =
        ::fstat(journal, &status) == 0 && S_ISREG(status.st_mode) && ::read(journal, &first, 1) == 1 && first != 0;
    ::close(journal);
    return filled && !ReservedLockHeld(path);
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
    // The steps that keyed the entries, took their names out and gave them their amounts.
    return from != 0 && from < kListSumsVersion;
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
    if (const FileHeader header = HeaderOf(db); header.size == header.bytes.size()) {
        marks.schemaFormat = static_cast<std::uint32_t>(header.number(44, 4));
        marks.textEncoding = static_cast<std::uint32_t>(header.number(56, 4));
    }
    return marks;
}

void CheckMarks(const FileMarks& marks, const std::string& path) {
    const bool ours = marks.applicationId == kApplicationId;
    // A file without tables becomes a ledger only when no other program has marked it as its own.
    if (!ours && marks.applicationId != 0)
        throw LedgerError(LedgerErrorKind::NotALedger,
                          path + " is not a Coffer ledger (it belongs to another program).");
    if ((!ours && (!marks.schema.empty() || marks.version != 0)) || marks.version < 0)
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger.");
    if (marks.version > kVersion)
        throw LedgerError(LedgerErrorKind::NewerVersion,
                          path + " is a ledger of a newer Coffer (version " + std::to_string(marks.version) +
                              "); this program reads ledgers up to version " + std::to_string(kVersion) + ".");
    if (!marks.schema.empty() && (marks.schemaFormat != 4 || marks.textEncoding != 1))
        throw LedgerError(LedgerErrorKind::Damaged, path + kForeignHeader);
    // A name of another program's file is shown only as the text it is meant to be.
    const auto shown = [](const std::string& name) { return IsUtf8(name) ? CleanText(name) : std::string("?"); };
    const auto refuse = [&](const char* verb, const SchemaObject& object) {
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger (it " + verb + " " +
                                                           shown(object.type) + " " + shown(object.name) + ").");
    };
    const std::vector<SchemaObject>& allowed = SchemaOfVersion(marks.version);
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
    const FileHeader header = ReadFileHeader(path);
    if (header.size == 0)
        return;
    if (header.size < 16 || std::string_view(reinterpret_cast<const char*>(header.bytes.data()), 16) !=
                                std::string_view("SQLite format 3\0", 16))
        throw LedgerError(LedgerErrorKind::NotALedger, path + " is not a Coffer ledger.");
    if (!HeaderReadsAsWritten(header))
        throw LedgerError(LedgerErrorKind::Damaged, path + kForeignHeader);
    if (HasHotJournal(path))
        throw LedgerError(LedgerErrorKind::Damaged, path + " was left half-written by another program (" + path +
                                                        "-journal); it was not opened.");
    // The page count of the header holds where the change counter beside it is that of the last write.
    const std::uint64_t pageSize = PageSize(header), pages = header.number(28, 4);
    const bool logBeside = std::filesystem::exists(path + "-wal", error);
    const auto size = std::filesystem::file_size(path, error);
    if (!error && !logBeside && header.number(24, 4) == header.number(92, 4) && pages * pageSize > size)
        throw LedgerError(LedgerErrorKind::Damaged, path + ": cannot read the ledger: the file is damaged");
}

} // namespace coffer
