// SPDX-License-Identifier: MIT
#pragma once
// The ledger file's connection as the SQL that both stores share asks for it (ledger_sql.h): the
// parameters $1, $2… go to SQLite as ?1, ?2…, which it finds by their numbers; GREATEST and LEAST of two
// values are its max() and min().

#include "ledger/ledger_sql.h"
#include "ledger/sqlite_database.h"

namespace coffer {

struct IncomingEntries;

class SqliteSql final : public LedgerSql {
  public:
    SqliteSql(SqliteDatabase& db, IncomingEntries& incoming) : db_(db), incoming_(incoming) {}
    // The entries live as long as their add: the table is empty after it.
    ~SqliteSql();
    SqliteSql(const SqliteSql&) = delete;
    SqliteSql& operator=(const SqliteSql&) = delete;

    const std::string& name() const override { return db_.path(); }
    const SqlDialect& dialect() const override;
    void runWith(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override;
    void runEach(const std::string& sql, std::span<const SqlValue> params,
                 const std::function<void(const SqlRow&)>& row) override {
        runWith(sql, params, row); // SQLite steps through the rows as they are read
    }
    void loadIncomingNames(std::span<const IncomingName> names) override;
    void useNameIds(std::span<const NameIds> ids) override;
    void withIndexesAfter(const std::function<void()>& insert) override;
    void loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                      const AddProgress& progress) override;
    std::function<bool()> stopStatementsWhen(std::function<bool()> stop) override {
        return db_.stopStatementsWhen(std::move(stop));
    }

  private:
    SqliteDatabase& db_;
    IncomingEntries& incoming_;
};

} // namespace coffer
