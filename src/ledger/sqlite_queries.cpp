// SPDX-License-Identifier: MIT
#include "ledger/sqlite_ledger.h"

#include "ledger/entry_identity.h"
#include "ledger/ledger_sql.h"
#include "ledger/sqlite_sql.h"

namespace coffer {

std::optional<GuildIdentity> SqliteLedger::guild() {
    if (!hasTables_)
        return std::nullopt;
    SqliteStatement query(db_, "SELECT name, realm FROM guild LIMIT 1");
    if (!query.step())
        return std::nullopt;
    return GuildIdentity{std::string(query.bytes(0)), std::string(query.bytes(1))};
}

LedgerTotals SqliteLedger::totals() {
    LedgerTotals totals;
    if (hasTables_)
        readAtOnce([&] { totals = readTotals(); });
    return totals;
}

LedgerTotals SqliteLedger::readTotals() {
    LedgerTotals totals;
    // Without running sums every entry's copies are summed, and checked on the way (the sums of good
    // ones only, which cannot overflow).
    if (hasRunningSums_) {
        SqliteStatement sums(db_, "SELECT count(*), max(copies), max(untimed), coalesce(typeof(max(copies)) = "
                                  "'integer' AND typeof(max(untimed)) = 'integer', 0) FROM entry_totals");
        if (sums.step())
            totals = CheckedTotals(sums.integer(0), sums.integer(1), sums.integer(2), sums.integer(3) != 0, db_.path());
    } else {
        const std::string good = "NOT " + BadCopiesCondition();
        SqliteStatement sums(db_, ("SELECT coalesce(sum(copies) FILTER (WHERE " + good +
                                   "), 0), coalesce(sum(copies) FILTER (WHERE ts IS NULL AND " + good +
                                   "), 0), count(*) FILTER (WHERE " + BadCopiesCondition() + ") = 0 FROM entry")
                                      .c_str());
        if (!sums.step() || sums.integer(2) == 0)
            throw LedgerError(LedgerErrorKind::Damaged, db_.path() + " is damaged: " + kBadCopiesReason);
        totals.entries = static_cast<std::uint64_t>(sums.integer(0));
        totals.untimed = static_cast<std::uint64_t>(sums.integer(1));
    }
    SqliteStatement times(db_, (std::string("SELECT ") + FirstAndLastTimes(hasListColumns_)).c_str());
    if (times.step()) {
        totals.firstTs = times.optionalInteger(0);
        totals.lastTs = times.optionalInteger(1);
    }
    return totals;
}

std::vector<HourCount> SqliteLedger::entriesPerHour() {
    std::vector<HourCount> hours;
    if (!hasTables_)
        return hours;
    // An older ledger read as it is keeps no counts: its entries are counted, through the index of times.
    SqliteStatement query(db_, hasHourCounts_ ? "SELECT hour, copies FROM entry_hours ORDER BY hour"
                                              : "SELECT ts / 3600000, sum(copies) FROM entry WHERE ts IS NOT NULL "
                                                "GROUP BY 1 ORDER BY 1");
    while (query.step())
        hours.push_back({query.integer(0), static_cast<std::uint64_t>(query.integer(1))});
    return hours;
}

bool SqliteLedger::withAlertSql(bool write, const std::function<void(LedgerSql& sql)>& use) {
    if (!hasTables_ || !hasAlerts_)
        return false;
    SqliteSql sql(db_, incoming_);
    if (!write) {
        use(sql);
        return true;
    }
    SqliteTransaction transaction(db_);
    use(sql);
    transaction.commit();
    return true;
}

void SqliteLedger::forEachEntry(const std::optional<TimeRange>& period,
                                const std::function<void(const LedgerEntry&)>& visit) {
    if (!hasTables_)
        return;
    SqliteSql sql(db_, incoming_);
    ForEachEntry(sql, hasKeys_, period, visit);
}

} // namespace coffer
