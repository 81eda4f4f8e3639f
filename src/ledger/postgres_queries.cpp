// SPDX-License-Identifier: MIT
#include "ledger/postgres_ledger.h"
#include "ledger/postgres_sql.h"

#include "ledger/ledger_sql.h"

namespace coffer {

std::optional<GuildIdentity> PostgresLedger::guild() {
    const PgResult query = db_.query("SELECT name, realm FROM guild");
    if (query.rows() == 0)
        return std::nullopt;
    return GuildIdentity{std::string(query.bytes(0, 0)), std::string(query.bytes(0, 1))};
}

LedgerTotals PostgresLedger::totals() {
    const PgResult query =
        db_.query(std::string("SELECT copies, untimed, ") + FirstAndLastTimes(listIndexed_) + " FROM entry_totals");
    const bool one = query.rows() == 1;
    LedgerTotals totals =
        CheckedTotals(query.rows(), one ? query.integer(0, 0) : 0, one ? query.integer(0, 1) : 0, true, db_.name());
    totals.firstTs = query.optionalInteger(0, 2);
    totals.lastTs = query.optionalInteger(0, 3);
    return totals;
}

std::vector<HourCount> PostgresLedger::entriesPerHour() {
    // An older ledger read as it is keeps no counts: its entries are counted, through the index of times.
    const PgResult query = db_.query(hourCounts_ ? "SELECT hour, copies FROM entry_hours ORDER BY hour"
                                                 : "SELECT ts / 3600000, sum(copies)::int8 FROM entry "
                                                   "WHERE ts IS NOT NULL GROUP BY 1 ORDER BY 1");
    std::vector<HourCount> hours;
    for (int row = 0; row < query.rows(); ++row)
        hours.push_back({query.integer(row, 0), static_cast<std::uint64_t>(query.integer(row, 1))});
    return hours;
}

void PostgresLedger::forEachEntry(const std::optional<TimeRange>& period,
                                  const std::function<void(const LedgerEntry&)>& visit) {
    // A batch at a time: a report of a million entries holds one batch of them.
    PgSql sql(db_);
    ForEachEntry(sql, true, period, visit);
}

bool PostgresLedger::withAlertSql(bool write, const std::function<void(LedgerSql& sql)>& use) {
    if (!alerts_)
        return false;
    PgSql sql(db_);
    if (!write) {
        use(sql);
        return true;
    }
    PgTransaction transaction(db_);
    use(sql);
    transaction.commit();
    return true;
}

void PostgresLedger::endRead(bool completed) {
    if (completed) {
        try {
            read_->commit();
        } catch (const PgError&) {
            read_.reset();
            throw;
        }
    }
    read_.reset(); // rolled back unless committed
}

} // namespace coffer
