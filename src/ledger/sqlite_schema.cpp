#include "ledger/sqlite_ledger.h"

#include <array>
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
};
constexpr std::int64_t kVersion = kUpgradeSteps.size();

struct FileMarks {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    bool hasTables = false;
};

FileMarks ReadMarks(SqliteDatabase& db) {
    FileMarks marks;
    SqliteStatement id(db, "PRAGMA application_id");
    marks.applicationId = id.step() ? id.integer(0) : 0;
    SqliteStatement version(db, "PRAGMA user_version");
    marks.version = version.step() ? version.integer(0) : 0;
    SqliteStatement tables(db, "SELECT count(*) FROM sqlite_schema");
    marks.hasTables = tables.step() && tables.integer(0) > 0;
    return marks;
}

// A file with tables must be a ledger of this program, of a version it knows.
void CheckMarks(const FileMarks& marks, const std::string& path) {
    if (marks.hasTables && marks.applicationId != kApplicationId)
        throw LedgerError(path + " is not a Coffer ledger.");
    if (marks.version > kVersion)
        throw LedgerError(path + " is a ledger of a newer Coffer (version " + std::to_string(marks.version) +
                          "); this program reads ledgers up to version " + std::to_string(kVersion) + ".");
}

// An empty file is a new ledger; anything else must start as an SQLite database does. Checked before
// SQLite reads the file, whose message would be less clear.
void CheckHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[16] = {};
    file.read(header, sizeof header);
    if (file.gcount() == 0)
        return;
    if (file.gcount() < static_cast<std::streamsize>(sizeof header) ||
        std::string_view(header, sizeof header) != std::string_view("SQLite format 3\0", 16))
        throw LedgerError(path + " is not a Coffer ledger.");
}

SqliteDatabase Open(const std::string& path, SqliteDatabase::Access access, std::chrono::milliseconds busyTimeout,
                    const LockWait& lockWait) {
    CheckHeader(path);
    return SqliteDatabase(path, access, busyTimeout, lockWait);
}

} // namespace

SqliteLedger::SqliteLedger(const std::string& path, SqliteDatabase::Access access, const LockWait& lockWait,
                           std::chrono::milliseconds busyTimeout)
    : db_(Open(path, access, busyTimeout, lockWait)) {
    checkFile(access == SqliteDatabase::Access::ReadWrite);
}

void SqliteLedger::checkFile(bool writable) {
    const FileMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.path());
    hasTables_ = marks.hasTables;
    if (hasTables_)
        db_.checkpointOnClose();
    // A paste of a hundred thousand entries touches tens of megabytes of the file: kept in memory, each
    // page is read and written once. Reads take the pages from the mapped file instead of copying them.
    db_.execute("PRAGMA cache_size = -131072; PRAGMA mmap_size = 2147418112");
    if (!writable) {
        // A ledger opened for reading is never upgraded: one of version 1 keeps no running sums.
        hasRunningSums_ = marks.version >= 2;
        return;
    }
    // Only a file known to be a ledger, or a new one, is written to.
    // With the write-ahead log, a commit that waits for no disk flush is still whole or absent after a
    // crash of the program; only a power cut may lose the last adds.
    // Pages of 16 KiB (for a new file; an existing one keeps its own) hold some sixty entries each: a
    // paste's adds and a full read step through a quarter of the pages of the default size.
    db_.execute("PRAGMA page_size = 16384; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL");
    if (marks.version < kVersion || !hasTables_)
        upgrade();
}

void SqliteLedger::upgrade() {
    SqliteTransaction transaction(db_);
    // Another program may have created or upgraded the ledger in the meantime.
    const FileMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.path());
    for (std::int64_t step = marks.hasTables ? marks.version : 0; step < kVersion; ++step)
        db_.execute(kUpgradeSteps[static_cast<std::size_t>(step)]);
    db_.execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    db_.execute(("PRAGMA user_version = " + std::to_string(kVersion)).c_str());
    transaction.commit();
    hasTables_ = true;
    db_.checkpointOnClose();
}

} // namespace coffer
