#include "ledger/postgres_ledger.h"

#include <limits>

namespace coffer {

std::optional<GuildIdentity> PostgresLedger::guild() {
    const PgResult query = db_.query("SELECT name, realm FROM guild");
    if (query.rows() == 0)
        return std::nullopt;
    return GuildIdentity{std::string(query.bytes(0, 0)), std::string(query.bytes(0, 1))};
}

LedgerTotals PostgresLedger::totals() {
    LedgerTotals totals;
    const PgResult query = db_.query("SELECT copies, untimed, (SELECT min(ts) FROM entry), (SELECT max(ts) FROM entry) "
                                     "FROM entry_totals");
    totals.entries = static_cast<std::uint64_t>(query.integer(0, 0));
    totals.untimed = static_cast<std::uint64_t>(query.integer(0, 1));
    totals.firstTs = query.optionalInteger(0, 2);
    totals.lastTs = query.optionalInteger(0, 3);
    return totals;
}

std::vector<LedgerEntry> PostgresLedger::entries(const std::optional<TimeRange>& period) {
    std::vector<LedgerEntry> entries;
    PgParams params;
    if (period) {
        constexpr std::uint64_t kLatest = std::numeric_limits<std::int64_t>::max();
        params.add(static_cast<std::int64_t>(std::min(period->first, kLatest)))
            .add(static_cast<std::int64_t>(std::min(period->last, kLatest)));
    }
    const PgResult query =
        db_.query(period ? "SELECT text, copies, order_time, order_rank, ts FROM entry WHERE ts BETWEEN $1 AND $2"
                         : "SELECT text, copies, order_time, order_rank, ts FROM entry",
                  params);
    entries.reserve(static_cast<std::size_t>(query.rows()));
    for (int row = 0; row < query.rows(); ++row)
        entries.push_back({std::string(query.bytes(row, 0)), static_cast<std::uint64_t>(query.integer(row, 1)),
                           EntryOrder{query.integer(row, 2), query.integer(row, 3)}, query.optionalInteger(row, 4)});
    return entries;
}

} // namespace coffer
