#include "ledger/sqlite_ledger.h"

#include <limits>

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
    if (!hasTables_)
        return totals;
    SqliteStatement query(db_, "SELECT coalesce(sum(copies), 0), coalesce(sum(copies) FILTER (WHERE ts IS NULL), 0), "
                               "min(ts), max(ts) FROM entry");
    query.step();
    totals.entries = static_cast<std::uint64_t>(query.integer(0));
    totals.untimed = static_cast<std::uint64_t>(query.integer(1));
    totals.firstTs = query.optionalInteger(2);
    totals.lastTs = query.optionalInteger(3);
    return totals;
}

std::vector<PasteRecord> SqliteLedger::pastes() {
    std::vector<PasteRecord> pastes;
    if (!hasTables_)
        return pastes;
    SqliteStatement query(db_, "SELECT added_at, entries, copies_added, first_ts, last_ts, guild_name, guild_realm, "
                               "file_name, digest FROM paste ORDER BY id");
    while (query.step()) {
        PasteRecord& record = pastes.emplace_back();
        record.addedAt = query.integer(0);
        record.entries = static_cast<std::uint64_t>(query.integer(1));
        record.copiesAdded = static_cast<std::uint64_t>(query.integer(2));
        record.firstTs = query.optionalInteger(3);
        record.lastTs = query.optionalInteger(4);
        if (!query.isNull(5))
            record.guild = GuildIdentity{std::string(query.bytes(5)), std::string(query.bytes(6))};
        record.fileName = query.bytes(7);
        record.digest = static_cast<std::uint64_t>(query.integer(8));
    }
    return pastes;
}

std::vector<LedgerEntry> SqliteLedger::entries(const std::optional<TimeRange>& period) {
    std::vector<LedgerEntry> entries;
    if (!hasTables_)
        return entries;
    SqliteStatement query(db_, period ? "SELECT text, copies, order_time, order_rank, ts FROM entry "
                                        "WHERE ts BETWEEN ?1 AND ?2"
                                      : "SELECT text, copies, order_time, order_rank, ts FROM entry");
    if (period) {
        constexpr std::uint64_t kLatest = std::numeric_limits<std::int64_t>::max();
        query.bind(1, static_cast<std::int64_t>(std::min(period->first, kLatest)))
            .bind(2, static_cast<std::int64_t>(std::min(period->last, kLatest)));
    }
    while (query.step())
        entries.push_back({std::string(query.bytes(0)), static_cast<std::uint64_t>(query.integer(1)),
                           EntryOrder{query.integer(2), query.integer(3)}, query.optionalInteger(4)});
    return entries;
}

} // namespace coffer
