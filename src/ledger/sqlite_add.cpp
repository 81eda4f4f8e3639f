#include "ledger/ledger_sql.h"
#include "ledger/sqlite_ledger.h"

#include <algorithm>

namespace coffer {
namespace {

class SqliteRow final : public SqlRow {
  public:
    explicit SqliteRow(const SqliteStatement& statement) : statement_(statement) {}
    bool isNull(int column) const override { return statement_.isNull(column); }
    std::int64_t integer(int column) const override { return statement_.integer(column); }
    std::string_view bytes(int column) const override { return statement_.bytes(column); }

  private:
    const SqliteStatement& statement_;
};

// The ledger file's connection as the add asks for it: SQLite spells parameters ?N, and GREATEST and
// LEAST of two values are its max() and min().
class SqliteSql final : public LedgerSql {
  public:
    explicit SqliteSql(SqliteDatabase& db) : db_(db) {}

    const std::string& name() const override { return db_.path(); }
    const SqlDialect& dialect() const override {
        static constexpr SqlDialect kSqlite{"max", "min", ""};
        return kSqlite;
    }

    void run(const std::string& sql, std::initializer_list<SqlValue> params,
             const std::function<void(const SqlRow&)>& row) override {
        std::string text = sql;
        std::ranges::replace(text, '$', '?');
        SqliteStatement statement(db_, text.c_str());
        int index = 0;
        for (const SqlValue& param : params) {
            ++index;
            if (const auto* number = std::get_if<std::int64_t>(&param))
                statement.bind(index, *number);
            else if (const auto* words = std::get_if<SqlText>(&param))
                statement.bindText(index, words->text);
            else if (const auto* bytes = std::get_if<std::string_view>(&param))
                statement.bindBlob(index, *bytes);
        }
        const SqliteRow current(statement);
        while (statement.step())
            if (row)
                row(current);
    }

    void loadIncoming(std::span<const PasteEntry> entries, std::span<const std::string> keys,
                      std::span<const std::size_t> order, const AddProgress& progress) override {
        // Read back in the order of loading, that of the rowid.
        db_.execute("CREATE TEMPORARY TABLE incoming (seq INTEGER, key BLOB, text BLOB, copies INTEGER, ts INTEGER, "
                    "order_time INTEGER, order_rank INTEGER)");
        SqliteStatement insert(db_, "INSERT INTO incoming VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        for (std::size_t done = 0; done < order.size(); ++done) {
            // The transaction is rolled back as the exception leaves the add.
            if (progress && done % 4096 == 0 && !progress(done, entries.size()))
                throw AddCancelled();
            const std::size_t seq = order[done];
            const PasteEntry& entry = entries[seq];
            insert.reset();
            insert.bind(1, static_cast<std::int64_t>(seq))
                .bindBlob(2, keys[seq])
                .bindBlob(3, entry.text)
                .bind(4, static_cast<std::int64_t>(entry.copies))
                .bind(5, entry.ts)
                .bind(6, entry.order.time)
                .bind(7, entry.order.rank)
                .step();
        }
    }

  private:
    SqliteDatabase& db_;
};

} // namespace

AddOutcome SqliteLedger::add(const LedgerAddition& addition) {
    SqliteTransaction transaction(db_);
    SqliteSql sql(db_);
    AddOutcome outcome = AddEntries(sql, addition);
    transaction.commit();
    return outcome;
}

std::vector<PasteRecord> SqliteLedger::pastes() {
    if (!hasTables_)
        return {};
    SqliteSql sql(db_);
    return ReadPastes(sql);
}

} // namespace coffer
