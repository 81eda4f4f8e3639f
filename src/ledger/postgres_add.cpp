#include "ledger/postgres_ledger.h"

#include <endian.h>

#include <chrono>
#include <random>
#include <span>
#include <thread>

namespace coffer {
namespace {

// At most this many entries go to the server in one statement.
constexpr std::size_t kEntriesPerCopy = 10'000;
constexpr int kDeadlockRetries = 5;

void PutInt32(std::string& out, std::int32_t value) {
    const std::uint32_t big = htobe32(static_cast<std::uint32_t>(value));
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

void PutBigint(std::string& out, const std::optional<std::int64_t>& value) {
    if (!value)
        return PutInt32(out, -1);
    PutInt32(out, 8);
    const std::uint64_t big = htobe64(static_cast<std::uint64_t>(*value));
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

void PutBytes(std::string& out, std::string_view bytes) {
    PutInt32(out, static_cast<std::int32_t>(bytes.size()));
    out.append(bytes);
}

// The entries in COPY's binary format, in the columns of the `incoming` table.
std::string CopyData(std::span<const PasteEntry> entries) {
    std::string data("PGCOPY\n\xff\r\n\0", 11);
    PutInt32(data, 0); // flags
    PutInt32(data, 0); // header extension
    for (const PasteEntry& entry : entries) {
        data.append("\0\6", 2); // six columns
        PutBytes(data, entry.identity);
        PutBytes(data, entry.text);
        PutBigint(data, static_cast<std::int64_t>(entry.copies));
        PutBigint(data, entry.ts);
        PutBigint(data, entry.order.time);
        PutBigint(data, entry.order.rank);
    }
    data.append("\xff\xff", 2);
    return data;
}

// Every rule is a maximum or a minimum, so adds give the same ledger in any order and at the same time.
// Only entries that are new or change something go to the upsert (a paste added again changes
// nothing; entries without a time always go, the upsert sorts them out). Rows are taken in one order, by time and then
// key, as every add takes them, which keeps adds from deadlocking, and lays a period's entries side by side for
// reading. A stored entry whose key matches but whose identity does not is set to a null identity, which the table
// refuses: two identities of one digest are an error, never merged. The copies added are counted against those each row
// held when this add changed it, and go into the ledger's totals, whose row the add then holds to its end: adds finish
// one after the other, and list their pastes so.
constexpr const char* kMerge = R"(
    WITH changes AS (
        SELECT n.*
        FROM (SELECT sha256(identity) AS key, * FROM incoming) n
        LEFT JOIN entry stored ON stored.ts = n.ts AND stored.key = n.key
        WHERE stored.key IS NULL OR stored.identity <> n.identity OR n.copies > stored.copies
           OR n.text < stored.text OR (n.order_time, n.order_rank) > (stored.order_time, stored.order_rank)),
    merged AS (
        INSERT INTO entry AS e (key, identity, text, copies, copies_before, ts, order_time, order_rank)
        SELECT key, identity, text, copies, 0, ts, order_time, order_rank FROM changes ORDER BY ts, key
        ON CONFLICT (ts, key) DO UPDATE SET
            identity = CASE WHEN e.identity = excluded.identity THEN e.identity END,
            copies = GREATEST(e.copies, excluded.copies),
            copies_before = e.copies,
            order_time = CASE WHEN (excluded.order_time, excluded.order_rank) > (e.order_time, e.order_rank)
                              THEN excluded.order_time ELSE e.order_time END,
            order_rank = CASE WHEN (excluded.order_time, excluded.order_rank) > (e.order_time, e.order_rank)
                              THEN excluded.order_rank ELSE e.order_rank END,
            text = LEAST(e.text, excluded.text)
        WHERE e.identity <> excluded.identity OR excluded.copies > e.copies OR excluded.text < e.text
           OR (excluded.order_time, excluded.order_rank) > (e.order_time, e.order_rank)
        RETURNING copies - copies_before AS added, ts)
    UPDATE coffer_ledger SET entries = entries + total, untimed = untimed + without_time
    FROM (SELECT coalesce(sum(added), 0) AS total, coalesce(sum(added) FILTER (WHERE ts IS NULL), 0) AS without_time
          FROM merged) AS added
    RETURNING total::int8)";

} // namespace

AddOutcome PostgresLedger::add(const LedgerAddition& addition) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0;; ++attempt) {
        try {
            return tryAdd(addition);
        } catch (const PgError& error) {
            // Another add took rows in another order (a merge, another program): the server chose this one
            // to fail. Tried again after a wait that differs between programs.
            if (error.sqlState() != "40P01" || attempt == kDeadlockRetries)
                throw;
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::uniform_int_distribution(50, 250)(random) * (attempt + 1)));
        }
    }
}

AddOutcome PostgresLedger::tryAdd(const LedgerAddition& addition) {
    PgTransaction transaction(db_);
    // Sorting the paste's entries in memory, not in files; and looking each up in the ledger's index
    // rather than reading the whole ledger, which is mostly far larger than a paste (the server knows
    // the size of neither a new temporary table nor a ledger that just grew).
    db_.execute("SET LOCAL work_mem = '256MB'; SET LOCAL enable_hashjoin = off; SET LOCAL enable_mergejoin = off");
    if (addition.guilds.size() == 1)
        db_.query("INSERT INTO guild (name, realm) VALUES ($1, $2) ON CONFLICT DO NOTHING",
                  PgParams().add(addition.guilds[0].name).add(addition.guilds[0].realm));
    if (std::string refusal = GuildRefusal(guild(), addition.guilds); !refusal.empty())
        throw LedgerError(refusal);

    db_.execute("CREATE TEMPORARY TABLE incoming (identity bytea, text bytea, copies bigint, ts bigint, "
                "order_time bigint, order_rank bigint) ON COMMIT DROP");
    const std::span<const PasteEntry> entries(addition.entries);
    for (std::size_t done = 0; done < entries.size(); done += kEntriesPerCopy) {
        // The transaction is rolled back as the exception leaves this function.
        if (addition.progress && !addition.progress(done, entries.size()))
            throw AddCancelled();
        db_.copyIn("COPY incoming FROM STDIN (FORMAT binary)",
                   CopyData(entries.subspan(done, std::min(kEntriesPerCopy, entries.size() - done))));
    }
    AddOutcome outcome;
    try {
        outcome.copiesAdded = static_cast<std::uint64_t>(db_.query(kMerge).integer(0, 0));
    } catch (const PgError& error) {
        if (error.sqlState() != "23502")
            throw;
        throw PgError(db_.name() + ": two different entries have the same digest; the add was not made", "23502");
    }

    for (PasteRecord record : addition.pastes) {
        if (addition.countCopiesAdded)
            record.copiesAdded = outcome.copiesAdded;
        PgParams params;
        params.add(record.addedAt)
            .add(static_cast<std::int64_t>(record.entries))
            .add(static_cast<std::int64_t>(record.copiesAdded))
            .add(record.firstTs)
            .add(record.lastTs);
        if (record.guild)
            params.add(record.guild->name).add(record.guild->realm);
        else
            params.add(std::nullopt).add(std::nullopt);
        params.add(record.fileName).add(static_cast<std::int64_t>(record.digest));
        const PgResult listed =
            db_.query("INSERT INTO paste (added_at, entries, copies_added, first_ts, last_ts, guild_name, guild_realm, "
                      "file_name, digest) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) ON CONFLICT DO NOTHING "
                      "RETURNING id",
                      params);
        outcome.listed = outcome.listed || listed.rows() > 0;
    }
    transaction.commit();
    return outcome;
}

} // namespace coffer
