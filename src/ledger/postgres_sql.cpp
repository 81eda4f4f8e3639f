// SPDX-License-Identifier: MIT
#include "ledger/postgres_sql.h"

#include <endian.h>

#include <algorithm>
#include <variant>

namespace coffer {
namespace {

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

} // namespace

void PutBytes(std::string& out, std::string_view bytes) {
    PutInt32(out, static_cast<std::int32_t>(bytes.size()));
    out.append(bytes);
}

void PutListColumns(std::string& out, const EntryFieldsView& fields) {
    PutBigint(out, fields.type);
    PutBytes(out, fields.member);
    PutBytes(out, fields.item);
    PutBytes(out, FoldedCase(fields.member));
    PutBytes(out, FoldedCase(fields.item));
    PutBigint(out, fields.money);
    PutBigint(out, fields.itemCount);
    if (fields.tab.empty())
        PutInt32(out, -1); // null
    else
        PutBytes(out, fields.tab);
}

std::string CopyStart() {
    std::string data("PGCOPY\n\xff\r\n\0", 11);
    PutInt32(data, 0); // flags
    PutInt32(data, 0); // header extension
    return data;
}

namespace {

// The entries from `first`, `count` of them, in COPY's binary format, in the columns of `incoming`.
std::string CopyData(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                     std::size_t first, std::size_t count) {
    std::string data = CopyStart();
    for (std::size_t seq = first; seq < first + count; ++seq) {
        const PasteEntry& entry = entries[seq];
        data.append("\0\17", 2); // fifteen columns
        PutBigint(data, static_cast<std::int64_t>(seq));
        PutBytes(data, keys[seq]);
        PutBytes(data, entry.text);
        PutBigint(data, static_cast<std::int64_t>(entry.copies));
        PutBigint(data, entry.ts);
        PutBigint(data, entry.order.time);
        PutBigint(data, entry.order.rank);
        PutListColumns(data, fields.view(seq));
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

PgParams Bound(std::span<const SqlValue> params) {
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

} // namespace

void ForEachBatch(PgConnection& db, const std::string& query, const PgParams& params,
                  const std::function<void(const PgResult& rows)>& batch) {
    // Apart from any other cursor: one batch's rows may be read while another's are visited.
    const std::string cursor = db.cursorName();
    db.query("DECLARE " + cursor + " NO SCROLL CURSOR FOR " + query, params);
    for (;;) {
        const PgResult rows = db.query("FETCH " + std::to_string(kRowsPerBatch) + " FROM " + cursor);
        batch(rows);
        if (rows.rows() < static_cast<int>(kRowsPerBatch))
            break;
    }
    db.execute(("CLOSE " + cursor).c_str());
}

const SqlDialect& PgSql::dialect() const {
    static constexpr SqlDialect kPostgres{"GREATEST",
                                          "LEAST",
                                          "FOR UPDATE",
                                          "key",
                                          [](std::string_view map, std::string_view column) {
                                              // Before the first byte, substr() gives none.
                                              return "substr(" + std::string(map) + ", CAST(" + std::string(column) +
                                                     " + 1 AS integer), 1) = " + "'\\x01'::bytea";
                                          },
                                          false,   // incomingNameIds
                                          false,   // numberIds
                                          nullptr, // the server sums with filters in one pass
                                          true};   // copiesIncoming
    return kPostgres;
}

void PgSql::runWith(const std::string& sql, std::span<const SqlValue> params,
                    const std::function<void(const SqlRow&)>& row) {
    const PgResult result = db_.query(sql, Bound(params));
    for (int index = 0; row && index < result.rows(); ++index)
        row(PgRow(result, index));
}

void PgSql::runEach(const std::string& sql, std::span<const SqlValue> params,
                    const std::function<void(const SqlRow&)>& row) {
    // Joins the caller's transaction, if any: a cursor lives in one.
    PgTransaction transaction(db_, PgTransaction::Kind::Read);
    ForEachBatch(db_, sql, Bound(params), [&row](const PgResult& rows) {
        for (int index = 0; index < rows.rows(); ++index)
            row(PgRow(rows, index));
    });
    transaction.commit();
}

void PgSql::loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                         const AddProgress& progress) {
    db_.execute("CREATE TEMPORARY TABLE incoming (seq bigint, key bytea, text bytea, copies bigint, ts bigint, "
                "order_time bigint, order_rank bigint, type bigint, member bytea, item bytea, member_fold bytea, "
                "item_fold bytea, money bigint, item_count bigint, tab bytea) ON COMMIT DROP");
    for (std::size_t done = 0; done < entries.size(); done += kRowsPerBatch) {
        // The transaction is rolled back as the exception leaves the add.
        if (progress && !progress(done, entries.size()))
            throw AddCancelled();
        db_.copyIn("COPY incoming FROM STDIN (FORMAT binary)",
                   CopyData(entries, keys, fields, done, std::min(kRowsPerBatch, entries.size() - done)));
    }
    // The add goes through the entries a part at a time, by seq.
    db_.execute("CREATE INDEX ON incoming (seq)");
}

void PgSql::loadIncomingNames(std::span<const IncomingName> names) {
    std::string columns = "seq bigint, name bytea, fold bytea";
    for (const char* role : kNameRoles)
        for (const std::string& sum : NameSumColumns(role))
            columns += ", " + sum + " bigint";
    db_.execute(("CREATE TEMPORARY TABLE incoming_name (" + columns + ") ON COMMIT DROP").c_str());
    for (std::size_t first = 0; first < names.size(); first += kRowsPerBatch) {
        std::string data = CopyStart();
        for (std::size_t seq = first; seq < std::min(first + kRowsPerBatch, names.size()); ++seq) {
            const IncomingName& name = names[seq];
            static_assert(3 + std::size(kNameRoles) * kCountedValues == 15);
            data.append("\0\17", 2); // fifteen columns
            PutBigint(data, static_cast<std::int64_t>(seq));
            PutBytes(data, name.name);
            PutBytes(data, name.fold);
            for (const CountedTotals& gain : name.gains)
                for (const std::int64_t value : CountedValues(gain))
                    PutBigint(data, value);
        }
        data.append(kCopyEnd);
        db_.copyIn("COPY incoming_name FROM STDIN (FORMAT binary)", data);
    }
}

} // namespace coffer
