// SPDX-License-Identifier: MIT
#include "ledger/sqlite_ledger.h"

#include "ledger/ledger_sql.h"
#include "ledger/sqlite_format.h"
#include "ledger/upgrade_meter.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace coffer {
namespace {

// Looks at the file before the connection that will read or write it opens it: a file of another
// program, of a newer version, with a schema of its own, truncated or with such a schema in its
// write-ahead log is refused before anything is written into it or beside it. A refusal of a file whose
// log another connection has open (its index file lies beside it), or that changed while it was looked
// at (another connection folded its log back as it closed), waits for the check of the real
// connection, which reads under locks: a read without them may meet a log being rewritten.
void Inspect(const std::string& path) {
    CheckHeader(path);
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return; // a new ledger, or a name the real open explains
    std::optional<SqliteDatabase> file;
    try {
        file.emplace(path, SqliteDatabase::Access::Inspect, std::chrono::milliseconds{});
        CheckMarks(ReadMarks(*file), path);
    } catch (const LedgerError&) {
        if (!std::filesystem::exists(path + "-shm", error) && !(file && file->changedSinceOpen()))
            throw;
    }
}

SqliteDatabase Open(const std::string& path, SqliteDatabase::Access access, std::chrono::milliseconds busyTimeout,
                    const LockWait& lockWait) {
    Inspect(path);
    return SqliteDatabase(path, access, busyTimeout, lockWait);
}

// The page cache of a connection that writes a ledger: 128 MiB. One that only reads keeps 8 MiB: it
// copies every page it reads into its cache (the file is not mapped, see SqliteDatabase), a read mostly
// passes over its pages once, where a larger cache only takes fresh memory page by page, and the window's
// list holds what its connection keeps.
constexpr const char* kCacheSize = "PRAGMA cache_size = -131072";
constexpr const char* kReadCacheSize = "PRAGMA cache_size = -8192";

// The final compaction's steps per entry of the ledger.
constexpr std::uint64_t kVacuumStepsPerEntry = 29;

// An upgrade's meter hears of its statements' work (a report every SqliteDatabase::kStepsPerLook steps,
// some tens of microseconds), and stops them when the watch asks to, for as long as it lives.
class MeteredStatements {
  public:
    MeteredStatements(SqliteDatabase& db, UpgradeMeter& meter) : db_(db) { db.meterSteps(&meter); }
    ~MeteredStatements() { db_.meterSteps(nullptr); }
    MeteredStatements(const MeteredStatements&) = delete;
    MeteredStatements& operator=(const MeteredStatements&) = delete;

  private:
    SqliteDatabase& db_;
};

} // namespace

SqliteLedger::SqliteLedger(const std::string& path, SqliteDatabase::Access access, const LockWait& lockWait,
                           std::chrono::milliseconds busyTimeout, const UpgradeWatch& upgradeWatch)
    : db_(Open(path, access, busyTimeout, lockWait)) {
    checkFile(access == SqliteDatabase::Access::ReadWrite, upgradeWatch);
}

void SqliteLedger::checkFile(bool writable, const UpgradeWatch& upgradeWatch) {
    // Again through this connection, which reads the write-ahead log under locks: the file may have
    // changed since it was inspected.
    CheckHeader(db_.path());
    const FileMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.path());
    hasTables_ = !marks.schema.empty();
    if (hasTables_)
        db_.checkpointOnClose();
    // A paste of a hundred thousand entries touches tens of megabytes of the file: kept in memory, each
    // page is read and written once.
    db_.execute(writable ? kCacheSize : kReadCacheSize);
    AddListFunctions(db_);
    if (!writable) {
        // A ledger opened for reading is never upgraded: one of version 1 keeps no running sums.
        hasRunningSums_ = marks.version >= 2;
        hasKeys_ = marks.version >= kKeyedVersion;
        hasHourCounts_ = marks.version >= kHourCountsVersion;
        hasListColumns_ = marks.version >= kListNamesVersion;
        hasListSums_ = marks.version >= kListSumsVersion;
        hasAlerts_ = marks.version >= kAlertsVersion;
        hasHourSums_ = marks.version >= kHourSumsVersion;
        hasNameSums_ = marks.version >= kNameSumsVersion;
        return;
    }
    // Only a file known to be a ledger, or a new one, is written to.
    // With the write-ahead log, a commit that waits for no disk flush is still whole or absent after a
    // crash of the program; only a power cut may lose the last adds.
    // Pages of 16 KiB (for a new file; an existing one keeps its own) hold some sixty entries each: a
    // paste's adds and a full read step through a quarter of the pages of the default size.
    // An add's entries wait in a temporary table, in memory.
    db_.execute("PRAGMA page_size = 16384; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; "
                "PRAGMA temp_store = MEMORY");
    if (marks.version < LedgerFormatVersion() || !hasTables_)
        upgrade(upgradeWatch);
}

void SqliteLedger::checkIntact() {
    SqliteStatement check(db_, "PRAGMA quick_check(1)");
    if (!check.step() || check.bytes(0) != "ok")
        throw LedgerError(LedgerErrorKind::Damaged,
                          db_.path() + ": cannot read or write the ledger: the file is damaged");
}

void SqliteLedger::upgrade(const UpgradeWatch& watch) {
    // The meter sees nothing of what a single step of the virtual machine does at length: sorting all
    // that an index holds in memory, writing out the cache at the commit, folding the log into the file
    // after it. Sorts spill to files in runs the size of a small cache, each sorted on its own; the
    // commit writes out that small cache; the log is folded in once the upgrade is done.
    db_.execute("PRAGMA temp_store = FILE; PRAGMA cache_size = -8192; PRAGMA wal_autocheckpoint = 0");
    SqliteTransaction transaction(db_);
    // Another program may have created or upgraded the ledger in the meantime.
    const FileMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.path());
    const std::int64_t from = marks.schema.empty() ? 0 : marks.version;
    // The running sums are made from the entries' copies: checked first.
    if (from == 1 &&
        SqliteStatement(db_, ("SELECT 1 FROM entry WHERE " + BadCopiesCondition() + " LIMIT 1").c_str()).step())
        throw LedgerError(LedgerErrorKind::Damaged, db_.path() + " is damaged: " + kBadCopiesReason);
    // Where the steps write the entries anew, the pages of the old ones are given back after.
    const bool compact = UpgradeCompacts(from);
    std::uint64_t entries = 0;
    if (from != 0) {
        SqliteStatement count(db_, "SELECT count(*) FROM entry");
        entries = count.step() ? static_cast<std::uint64_t>(count.integer(0)) : 0;
        if (watch.starts)
            watch.starts(from, LedgerFormatVersion());
    }
    UpgradeMeter meter(watch, UpgradeTicks(from, LedgerFormatVersion(), entries) +
                                  (compact ? kVacuumStepsPerEntry * entries : 0));
    try {
        const MeteredStatements metered(db_, meter);
        UpgradeLedgerSchema(db_, from);
        transaction.commit();
        hasTables_ = true;
        db_.checkpointOnClose();
        if (compact)
            db_.execute("VACUUM");
    } catch (const LedgerError&) {
        if (meter.stopped())
            throw AddCancelled();
        throw;
    }
    meter.finish();
    db_.execute(kCacheSize);
    db_.execute("PRAGMA temp_store = MEMORY; PRAGMA wal_autocheckpoint = 1000; PRAGMA wal_checkpoint(PASSIVE)");
}

} // namespace coffer
