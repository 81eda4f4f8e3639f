// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"
#include "ledger/postgres_ledger.h"
#include "ledger/upgrade_meter.h"

#include <endian.h>

#include <span>

namespace coffer {
namespace {

// At most this many entries go to the server in one statement.
constexpr std::size_t kEntriesPerCopy = 10'000;

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

void PutListColumns(std::string& out, const EntryFields& fields) {
    PutBigint(out, fields.type);
    PutBytes(out, fields.member);
    PutBytes(out, fields.item);
    PutBytes(out, FoldedCase(fields.member));
    PutBytes(out, FoldedCase(fields.item));
}

// The start of COPY's binary format, before its rows; the end, after them.
std::string CopyStart() {
    std::string data("PGCOPY\n\xff\r\n\0", 11);
    PutInt32(data, 0); // flags
    PutInt32(data, 0); // header extension
    return data;
}
constexpr std::string_view kCopyEnd("\xff\xff", 2);

// The entries from `first`, `count` of them, in COPY's binary format, in the columns of `incoming`.
std::string CopyData(std::span<const PasteEntry> entries, std::span<const std::string> keys,
                     std::span<const EntryFields> fields, std::size_t first, std::size_t count) {
    std::string data = CopyStart();
    for (std::size_t seq = first; seq < first + count; ++seq) {
        const PasteEntry& entry = entries[seq];
        data.append("\0\14", 2); // twelve columns
        PutBigint(data, static_cast<std::int64_t>(seq));
        PutBytes(data, keys[seq]);
        PutBytes(data, entry.text);
        PutBigint(data, static_cast<std::int64_t>(entry.copies));
        PutBigint(data, entry.ts);
        PutBigint(data, entry.order.time);
        PutBigint(data, entry.order.rank);
        PutListColumns(data, fields[seq]);
    }
    data.append(kCopyEnd);
    return data;
}

class PgRow final : public SqlRow {
  public:
    PgRow(const PgResult& result, int row) : result_(result), row_(row) {}
    bool isNull(int column) const override { return result_.isNull(row_, column); }
    std::int64_t integer(int column) const override { return result_.integer(row_, column); }
    bool isInteger(int /*column*/) const override { return true; } // the server keeps each column's type
    std::string_view bytes(int column) const override { return result_.bytes(row_, column); }

  private:
    const PgResult& result_;
    int row_;
};

// The server's connection as the add asks for it.
class PgSql final : public LedgerSql {
  public:
    explicit PgSql(PgConnection& db) : db_(db) {}

    const std::string& name() const override { return db_.name(); }
    const SqlDialect& dialect() const override {
        static constexpr SqlDialect kPostgres{
            "GREATEST", "LEAST", "FOR UPDATE", "key", [](std::string_view map, std::string_view column) {
                // Before the first byte, substr() gives none.
                return "substr(" + std::string(map) + ", CAST(" + std::string(column) +
                       " + 1 AS integer), 1) = " + "'\\x01'::bytea";
            }};
        return kPostgres;
    }

    void runWith(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override {
        const PgResult result = db_.query(sql, Bound(params));
        for (int index = 0; row && index < result.rows(); ++index)
            row(PgRow(result, index));
    }

    void runEach(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override {
        // Through a cursor, a batch at a time.
        PgTransaction transaction(db_);
        db_.query("DECLARE listed NO SCROLL CURSOR FOR " + sql, Bound(params));
        for (;;) {
            const PgResult batch = db_.query("FETCH " + std::to_string(kEntriesPerCopy) + " FROM listed");
            for (int index = 0; index < batch.rows(); ++index)
                row(PgRow(batch, index));
            if (batch.rows() < static_cast<int>(kEntriesPerCopy))
                break;
        }
        transaction.commit();
    }

  private:
    static PgParams Bound(std::span<const SqlValue> params) {
        PgParams bound;
        for (const SqlValue& param : params) {
            if (const auto* number = std::get_if<std::int64_t>(&param))
                bound.add(*number);
            else if (const auto* words = std::get_if<SqlText>(&param))
                bound.add(words->text);
            else if (const auto* bytes = std::get_if<std::string_view>(&param))
                bound.add(*bytes);
            else
                bound.add(std::nullopt);
        }
        return bound;
    }

  public:
    void loadIncoming(std::span<const PasteEntry> entries, std::span<const std::string> keys,
                      std::span<const EntryFields> fields, const AddProgress& progress) override {
        db_.execute("CREATE TEMPORARY TABLE incoming (seq bigint, key bytea, text bytea, copies bigint, ts bigint, "
                    "order_time bigint, order_rank bigint, type bigint, member bytea, item bytea, member_fold bytea, "
                    "item_fold bytea) ON COMMIT DROP");
        for (std::size_t done = 0; done < entries.size(); done += kEntriesPerCopy) {
            // The transaction is rolled back as the exception leaves the add.
            if (progress && !progress(done, entries.size()))
                throw AddCancelled();
            db_.copyIn("COPY incoming FROM STDIN (FORMAT binary)",
                       CopyData(entries, keys, fields, done, std::min(kEntriesPerCopy, entries.size() - done)));
        }
    }

    std::function<bool()> stopStatementsWhen(std::function<bool()> stop) override {
        return db_.stopCallsWhen(std::move(stop));
    }

  private:
    PgConnection& db_;
};

} // namespace

void FillListColumns(PgConnection& db, UpgradeMeter* meter) {
    // The fields are read from the texts here, not on the server: it holds bytes and cannot decode them.
    db.execute("CREATE TEMPORARY TABLE list_fields (key bytea, type bigint, member bytea, item bytea, "
               "member_fold bytea, item_fold bytea) ON COMMIT DROP;"
               "DECLARE texts NO SCROLL CURSOR FOR SELECT key, text FROM entry");
    for (;;) {
        const PgResult batch = db.query("FETCH " + std::to_string(kEntriesPerCopy) + " FROM texts");
        std::string data = CopyStart();
        for (int row = 0; row < batch.rows(); ++row) {
            data.append("\0\6", 2);
            PutBytes(data, batch.bytes(row, 0));
            PutListColumns(data, ReadEntryFields(batch.bytes(row, 1)));
        }
        data.append(kCopyEnd);
        db.copyIn("COPY list_fields FROM STDIN (FORMAT binary)", data);
        if (meter != nullptr)
            meter->advanceOrStop(static_cast<std::uint64_t>(batch.rows()));
        if (batch.rows() < static_cast<int>(kEntriesPerCopy))
            break;
    }
    db.execute("CLOSE texts; UPDATE entry SET type = f.type, member = f.member, item = f.item, "
               "member_fold = f.member_fold, item_fold = f.item_fold FROM list_fields f WHERE entry.key = f.key");
}

void PostgresLedger::forEachEntry(const std::optional<TimeRange>& period,
                                  const std::function<void(const LedgerEntry&)>& visit) {
    // A batch at a time: a report of a million entries holds one batch of them.
    std::vector<SqlValue> params;
    if (period)
        params = {TimeParam(period->first), TimeParam(period->last)};
    LedgerEntry entry; // one buffer for every text
    PgSql(db_).runEach("SELECT text, copies, order_time, order_rank, ts FROM entry" +
                           std::string(period ? " WHERE " : "") + (period ? kInPeriod : ""),
                       params, [&](const SqlRow& row) {
                           entry.text.assign(row.bytes(0));
                           entry.copies = CheckedCopies(row.integer(1), true, db_.name());
                           entry.order = EntryOrder{row.integer(2), row.integer(3)};
                           entry.ts = row.optionalInteger(4);
                           visit(entry);
                       });
}

AddOutcome PostgresLedger::add(const LedgerAddition& addition) {
    PgTransaction transaction(db_);
    // Sorting the paste's entries in memory, not in files; and looking each up in the ledger's index
    // rather than reading the whole ledger, which is mostly far larger than a paste (the server knows
    // the size of neither a new temporary table nor a ledger that just grew).
    db_.execute("SET LOCAL work_mem = '256MB'; SET LOCAL enable_hashjoin = off; SET LOCAL enable_mergejoin = off");
    PgSql sql(db_);
    AddOutcome outcome = AddEntries(sql, addition);
    transaction.commit();
    return outcome;
}

std::vector<PasteRecord> PostgresLedger::pastes() {
    PgSql sql(db_);
    return ReadPastes(sql);
}

} // namespace coffer

namespace coffer {

std::uint64_t PostgresLedger::countListed(const EntryListFilter& filter) {
    if (!listIndexed_)
        return LedgerStore::countListed(filter);
    PgSql sql(db_);
    return CountListed(sql, listNames_, filter);
}

std::vector<ListedRow> PostgresLedger::listRows(const EntryListFilter& filter, std::uint64_t first, std::uint64_t count,
                                                std::uint64_t total) {
    if (!listIndexed_)
        return LedgerStore::listRows(filter, first, count, total);
    PgSql sql(db_);
    return ListRows(sql, listNames_, filter, first, count, total);
}

void PostgresLedger::forEachListed(const EntryListFilter& filter, const std::function<void(const ListedRow&)>& visit) {
    if (!listIndexed_)
        return LedgerStore::forEachListed(filter, visit);
    PgSql sql(db_);
    ForEachListed(sql, listNames_, filter, visit);
}

} // namespace coffer
