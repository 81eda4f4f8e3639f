// SPDX-License-Identifier: MIT
#pragma once
// A guild ledger in one SQLite file. The SQL lives in five files by concern: sqlite_format.cpp (the
// schema of each version and the checks that a file has it), sqlite_schema.cpp (opening and upgrades),
// sqlite_add.cpp (adding), sqlite_queries.cpp (reading) and sqlite_sql.cpp (the statements both stores share).

#include "ledger/ledger_sql.h"
#include "ledger/ledger_store.h"
#include "ledger/sqlite_database.h"

#include <span>
#include <string>

namespace coffer {

// The entries of the add under way, which the table incoming shows to the add's statements, and their
// names, which incoming_name shows.
struct IncomingEntries {
    std::span<const PasteEntry> entries;
    const EntryKeys* keys = nullptr;
    const IncomingFields* fields = nullptr;
    std::span<const NameIds> nameIds;
    std::span<const IncomingName> names;
};

// The check of CheckedCopies in SQL: true for a row of the entry table whose copies fail it.
inline std::string BadCopiesCondition() {
    return "(typeof(copies) <> 'integer' OR copies NOT BETWEEN 1 AND " + std::to_string(kMaxCopies) + ")";
}

class SqliteLedger : public LedgerStore {
  public:
    // ReadWrite creates a missing file and brings an older ledger up to date; ReadOnly never creates or
    // writes a file. Throws LedgerError for a file that is not a ledger of this program (with exactly the
    // schema of its version), of a newer version, or that cannot be opened. An action waits up to `busyTimeout` for
    // another program's lock; `lockWait` hears of the wait, `upgradeWatch` of an upgrade.
    SqliteLedger(const std::string& path, SqliteDatabase::Access access, const LockWait& lockWait = {},
                 std::chrono::milliseconds busyTimeout = std::chrono::minutes(1),
                 const UpgradeWatch& upgradeWatch = {});

    const std::string& name() const override { return db_.path(); }
    AddOutcome add(const LedgerAddition& addition) override;
    std::optional<GuildIdentity> guild() override;
    LedgerTotals totals() override;
    std::vector<PasteRecord> pastes() override;
    std::vector<HourCount> entriesPerHour() override;
    void forEachEntry(const std::optional<TimeRange>& period,
                      const std::function<void(const LedgerEntry&)>& visit) override;
    bool listIndexed() override { return hasListColumns_; }
    bool listSummed() override { return hasListSums_; }
    SumsKept sumsKept() override { return {hasHourSums_, hasNameSums_}; }
    void stopReadsWhen(std::function<bool()> stop) override { db_.stopStatementsWhen(std::move(stop)); }
    void checkIntact() override;
    void beforeEachStatement(std::function<void()> hook) override { db_.beforeEachStatement(std::move(hook)); }

  protected:
    bool withListSql(const std::function<void(LedgerSql& sql, ListNames& names)>& read) override;
    bool withAlertSql(bool write, const std::function<void(LedgerSql& sql)>& use) override;
    void beginRead() override { db_.beginRead(); }
    void endRead(bool completed) override { db_.endRead(completed); }

  private:
    // Checks the file's header, application id, version and schema again, through this connection;
    // sets hasTables_.
    void checkFile(bool writable, const UpgradeWatch& upgradeWatch);
    // Creates the tables of a new ledger or upgrades an older one, in one transaction.
    void upgrade(const UpgradeWatch& watch);
    // The totals of a ledger with tables, in the caller's read.
    LedgerTotals readTotals();

    SqliteDatabase db_;
    IncomingEntries incoming_;
    bool incomingTable_ = false; // whether the connection knows the tables incoming and incoming_name
    bool hasTables_ = false;     // false for a new, still empty ledger opened read-only
    bool hasRunningSums_ = true; // false for a ledger of version 1 opened read-only
    bool hasKeys_ = true;        // false for a ledger older than the entries' keys opened read-only
    bool hasHourCounts_ = true;  // false for a ledger older than its counts per hour opened read-only
    bool hasListColumns_ = true; // false for a ledger older than the list's columns opened read-only
    bool hasListSums_ = true;    // false for a ledger older than the entries' amounts opened read-only
    bool hasAlerts_ = true;      // false for a ledger older than its rules and alerts opened read-only
    bool hasHourSums_ = true;    // false for a ledger older than its sums per hour opened read-only
    bool hasNameSums_ = true;    // false for a ledger older than its sums per name opened read-only
    ListNames listNames_;
};

} // namespace coffer
