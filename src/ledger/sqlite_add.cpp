#include "ledger/entry_identity.h"
#include "ledger/sqlite_ledger.h"

#include <algorithm>

namespace coffer {
namespace {

struct StoredEntry {
    std::int64_t id = 0;
    std::uint64_t copies = 0;
    EntryOrder order;
    std::string text;
    bool timed = false;
};

// The stored entry of this identity: those of its hash, compared in full (the same text has it).
std::optional<StoredEntry> FindEntry(SqliteStatement& find, const PasteEntry& entry, const std::string& ledger) {
    find.reset();
    find.bind(1, static_cast<std::int64_t>(entry.hash));
    while (find.step()) {
        const std::string_view text = find.bytes(4);
        if (text == entry.text || EntryIdentity(text) == entry.identity)
            return StoredEntry{find.integer(0), StoredCopies(find, 1, ledger),
                               EntryOrder{find.integer(2), find.integer(3)}, std::string(text), !find.isNull(5)};
    }
    return std::nullopt;
}

bool HoldsEntries(SqliteDatabase& db) {
    SqliteStatement any(db, "SELECT 1 FROM entry LIMIT 1");
    return any.step();
}

// Whether the ledger lists a paste of the same entries and times already.
bool Listed(SqliteDatabase& db, const PasteRecord& record) {
    SqliteStatement same(db, "SELECT 1 FROM paste WHERE digest = ?1 AND entries = ?2 AND first_ts IS ?3 "
                             "AND last_ts IS ?4");
    same.bind(1, static_cast<std::int64_t>(record.digest))
        .bind(2, static_cast<std::int64_t>(record.entries))
        .bind(3, record.firstTs)
        .bind(4, record.lastTs);
    return same.step();
}

void List(SqliteDatabase& db, const PasteRecord& record) {
    SqliteStatement insert(db, "INSERT INTO paste (added_at, entries, copies_added, first_ts, last_ts, guild_name, "
                               "guild_realm, file_name, digest) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.bind(1, record.addedAt)
        .bind(2, static_cast<std::int64_t>(record.entries))
        .bind(3, static_cast<std::int64_t>(record.copiesAdded))
        .bind(4, record.firstTs)
        .bind(5, record.lastTs)
        .bindText(8, record.fileName)
        .bind(9, static_cast<std::int64_t>(record.digest));
    if (record.guild)
        insert.bindText(6, record.guild->name).bindText(7, record.guild->realm);
    insert.step();
}

} // namespace

AddOutcome SqliteLedger::add(const LedgerAddition& addition) {
    SqliteTransaction transaction(db_);
    const std::optional<GuildIdentity> ledgerGuild = guild();
    if (std::string refusal = GuildRefusal(ledgerGuild, addition.guilds); !refusal.empty())
        throw LedgerError(refusal);
    if (!ledgerGuild && addition.guilds.size() == 1) {
        SqliteStatement setGuild(db_, "INSERT INTO guild (name, realm) VALUES (?1, ?2)");
        setGuild.bindText(1, addition.guilds[0].name).bindText(2, addition.guilds[0].realm).step();
    }

    AddOutcome outcome;
    std::uint64_t untimedAdded = 0;
    {
        SqliteStatement find(db_, "SELECT id, copies, order_time, order_rank, text, ts FROM entry WHERE hash = ?1");
        // An addition holds each identity once: into an empty ledger, every entry goes in without a look.
        const bool empty = !HoldsEntries(db_);
        SqliteStatement insert(db_, "INSERT INTO entry (hash, copies, ts, order_time, order_rank, text) "
                                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        SqliteStatement update(db_, "UPDATE entry SET copies = ?2, order_time = ?3, order_rank = ?4, text = ?5 "
                                    "WHERE id = ?1");
        std::uint64_t done = 0;
        for (const PasteEntry& entry : addition.entries) {
            // The transaction is rolled back as the exception leaves this function.
            if (addition.progress && done++ % 4096 == 0 && !addition.progress(done - 1, addition.entries.size()))
                throw AddCancelled();
            const std::optional<StoredEntry> stored = empty ? std::nullopt : FindEntry(find, entry, db_.path());
            if (!stored) {
                insert.reset();
                insert.bind(1, static_cast<std::int64_t>(entry.hash))
                    .bind(2, static_cast<std::int64_t>(entry.copies))
                    .bind(3, entry.ts)
                    .bind(4, entry.order.time)
                    .bind(5, entry.order.rank)
                    .bindBlob(6, entry.text)
                    .step();
                outcome.copiesAdded += entry.copies;
                untimedAdded += entry.ts ? 0 : entry.copies;
                continue;
            }
            // Every rule is a maximum or a minimum: the result is the same in any order of adds.
            const std::uint64_t copies = std::max(stored->copies, entry.copies);
            const EntryOrder order = std::max(stored->order, entry.order);
            const std::string_view text = std::min<std::string_view>(stored->text, entry.text);
            if (copies == stored->copies && order == stored->order && text == stored->text)
                continue;
            update.reset();
            update.bind(1, stored->id)
                .bind(2, static_cast<std::int64_t>(copies))
                .bind(3, order.time)
                .bind(4, order.rank)
                .bindBlob(5, text)
                .step();
            outcome.copiesAdded += copies - stored->copies;
            untimedAdded += stored->timed ? 0 : copies - stored->copies;
        }
    }
    SqliteStatement(db_, "UPDATE entry_totals SET copies = copies + ?1, untimed = untimed + ?2")
        .bind(1, static_cast<std::int64_t>(outcome.copiesAdded))
        .bind(2, static_cast<std::int64_t>(untimedAdded))
        .step();
    for (PasteRecord record : addition.pastes) {
        if (addition.countCopiesAdded)
            record.copiesAdded = outcome.copiesAdded;
        if (!Listed(db_, record)) {
            List(db_, record);
            outcome.listed = true;
        }
    }
    transaction.commit();
    return outcome;
}

} // namespace coffer
