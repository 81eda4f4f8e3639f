// SPDX-License-Identifier: MIT
#pragma once
// The server's connection as the SQL that both stores share asks for it (ledger_sql.h), and what the
// server ledger's files send and read alike: rows in COPY's binary format, and a query's rows a batch at a
// time through a cursor.

#include "ledger/entry_list.h"
#include "ledger/ledger_sql.h"
#include "ledger/postgres_connection.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace coffer {

// At most this many rows go to the server in one statement, or come from it in one batch.
constexpr std::size_t kRowsPerBatch = 10'000;

class PgSql final : public LedgerSql {
  public:
    explicit PgSql(PgConnection& db) : db_(db) {}

    const std::string& name() const override { return db_.name(); }
    const SqlDialect& dialect() const override;
    void runWith(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override;
    void runEach(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override;
    void loadIncomingNames(std::span<const IncomingName> names) override;
    void useNameIds(std::span<const NameIds>) override {} // found by the names: see dialect()
    void withIndexesAfter(const std::function<void()>& insert) override { insert(); }
    void loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                      const AddProgress& progress) override;
    std::function<bool()> stopStatementsWhen(std::function<bool()> stop) override {
        return db_.stopCallsWhen(std::move(stop));
    }

  private:
    PgConnection& db_;
};

// Runs `query` through a cursor of its own, in the caller's transaction, handing its rows to `batch`
// kRowsPerBatch at a time (the last batch fewer), and closes the cursor.
void ForEachBatch(PgConnection& db, const std::string& query, const PgParams& params,
                  const std::function<void(const PgResult& rows)>& batch);

// COPY's binary format: the start, before its rows; a column of bytes; the list's columns of an entry
// (type, member, item, member_fold, item_fold, money, item_count, tab); the end, after the rows.
std::string CopyStart();
void PutBytes(std::string& out, std::string_view bytes);
void PutListColumns(std::string& out, const EntryFieldsView& fields);
constexpr std::string_view kCopyEnd("\xff\xff", 2);

} // namespace coffer
