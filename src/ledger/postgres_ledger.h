// SPDX-License-Identifier: MIT
#pragma once
// A guild ledger on a PostgreSQL server that several officers add to at once. Its results are those of
// the file ledger, entry for entry. The SQL lives in three files by concern: postgres_schema.cpp
// (checks, creation and upgrades), postgres_add.cpp (adding and the list) and postgres_queries.cpp
// (reading), over the connection of postgres_sql.h that the shared SQL runs on.

#include "ledger/ledger_sql.h"
#include "ledger/ledger_store.h"
#include "ledger/postgres_connection.h"

#include <optional>
#include <string>

namespace coffer {

class UpgradeMeter;

// Runs the steps that bring a ledger's tables from version `from` (0: none yet) to `to`, in the caller's
// transaction; `meter` hears of the work, counted in entries, of which the ledger holds `entries`.
void UpgradeServerLedger(PgConnection& db, std::int64_t from, std::int64_t to, UpgradeMeter* meter = nullptr,
                         std::uint64_t entries = 0);
// The work of those steps, in entries: the total of an upgrade's progress.
std::uint64_t ServerUpgradeWork(std::int64_t from, std::int64_t to, std::uint64_t entries);
// Writes the list's columns of every entry from its text, in the caller's transaction; `meter` hears of
// each batch of entries done.
void FillListColumns(PgConnection& db, UpgradeMeter* meter);
// The same for the entries' amounts and tab.
void FillListSums(PgConnection& db, UpgradeMeter* meter);

class PostgresLedger : public LedgerStore {
  public:
    // ReadWrite creates the ledger's tables in an empty database; ReadOnly writes nothing. Throws
    // LedgerError for a server that cannot be reached, a database whose tables are not a ledger of this
    // program or of a newer version, or carry a trigger or a rule, and a user without the rights to
    // create the tables; LedgerNotThereYet for a database without them opened read-only.
    // `upgradeWatch` hears of an upgrade.
    PostgresLedger(const std::string& uri, LedgerAccess access, const PgTimeouts& timeouts = {},
                   const UpgradeWatch& upgradeWatch = {});

    const std::string& name() const override { return db_.name(); }
    AddOutcome add(const LedgerAddition& addition) override;
    std::optional<GuildIdentity> guild() override;
    LedgerTotals totals() override;
    std::vector<PasteRecord> pastes() override;
    std::vector<HourCount> entriesPerHour() override;
    void forEachEntry(const std::optional<TimeRange>& period,
                      const std::function<void(const LedgerEntry&)>& visit) override;
    bool listIndexed() override { return listIndexed_; }
    bool listSummed() override { return listSummed_; }
    SumsKept sumsKept() override { return {hourSummed_, nameSummed_}; }
    void stopReadsWhen(std::function<bool()> stop) override { db_.stopCallsWhen(std::move(stop)); }
    void beforeEachStatement(std::function<void()> hook) override { db_.beforeEachCall(std::move(hook)); }

  protected:
    bool withListSql(const std::function<void(LedgerSql& sql, ListNames& names)>& read) override;
    bool withAlertSql(bool write, const std::function<void(LedgerSql& sql)>& use) override;
    void beginRead() override { read_.emplace(db_, PgTransaction::Kind::Read); }
    void endRead(bool completed) override;

  private:
    void checkSchema(bool writable, const UpgradeWatch& upgradeWatch);
    // Creates or upgrades the tables, once whatever the number of programs trying at the same time.
    void upgrade(const UpgradeWatch& watch);

    PgConnection db_;
    std::optional<PgTransaction> read_; // of readAtOnce
    std::string user_, schema_;         // as SQL names
    bool hourCounts_ = true;            // false for a ledger older than its counts per hour opened for reading
    bool listIndexed_ = true;           // false for a ledger of an older version opened for reading
    bool listSummed_ = true;            // false for a ledger older than the entries' amounts opened for reading
    bool alerts_ = true;                // false for a ledger older than its rules and alerts opened for reading
    bool hourSummed_ = true;            // false for a ledger older than its sums per hour opened for reading
    bool nameSummed_ = true;            // false for a ledger older than its sums per name opened for reading
    ListNames listNames_;
};

} // namespace coffer
