// SPDX-License-Identifier: MIT
#include "ledger/sqlite_sql.h"

#include "ledger/sqlite_ledger.h"

#include <algorithm>
#include <string>
#include <variant>

namespace coffer {
namespace {

class SqliteRow final : public SqlRow {
  public:
    explicit SqliteRow(const SqliteStatement& statement) : statement_(statement) {}
    bool isNull(int column) const override { return statement_.isNull(column); }
    std::int64_t integer(int column) const override { return statement_.integer(column); }
    bool isInteger(int column) const override { return statement_.isInteger(column); }
    std::string_view bytes(int column) const override { return statement_.bytes(column); }

  private:
    const SqliteStatement& statement_;
};

// The statement with its parameters $N written ?N, outside quoted texts and names: SQLite finds a
// parameter ?N by its number, where it looks each $N up among the names before it, which makes a
// statement of a few hundred parameters slow to prepare and to bind.
std::string NumberedParameters(std::string_view sql) {
    std::string numbered(sql);
    char quote = 0;
    for (std::size_t at = 0; at < numbered.size(); ++at) {
        const char c = numbered[at];
        if (quote != 0)
            quote = c == quote ? 0 : quote;
        else if (c == '\'' || c == '"')
            quote = c;
        else if (c == '$' && at + 1 < numbered.size() && numbered[at + 1] >= '0' && numbered[at + 1] <= '9')
            numbered[at] = '?';
    }
    return numbered;
}

} // namespace

SqliteSql::~SqliteSql() {
    incoming_ = {};
}

const SqlDialect& SqliteSql::dialect() const {
    static constexpr SqlDialect kSqlite{"max",
                                        "min",
                                        "",
                                        "id",
                                        [](std::string_view map, std::string_view column) {
                                            return "coffer_marked(" + std::string(map) + ", " + std::string(column) +
                                                   ")";
                                        },
                                        true, // incomingNameIds
                                        true, // numberIds
                                        "coffer_list_sums(type, money, item_count, copies)",
                                        false}; // copiesIncoming
    return kSqlite;
}

void SqliteSql::runWith(const std::string& sql, std::span<const SqlValue> params,
                        const std::function<void(const SqlRow&)>& row) {
    SqliteStatement statement(db_, NumberedParameters(sql).c_str());
    // Parameters past those the statement names are not bound.
    const std::size_t named = std::min(params.size(), static_cast<std::size_t>(statement.parameterCount()));
    for (std::size_t number = 1; number <= named; ++number) {
        const int index = static_cast<int>(number);
        const SqlValue& param = params[number - 1];
        if (const auto* value = std::get_if<std::int64_t>(&param))
            statement.bind(index, *value);
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

void SqliteSql::loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                             const AddProgress& progress) {
    // Nothing is copied: the table reads the entries where they are. Cancelled before the work starts,
    // which has no steps to tell of.
    if (progress && !progress(0, entries.size()))
        throw AddCancelled();
    incoming_ = {entries, &keys, &fields, {}, {}};
}

void SqliteSql::loadIncomingNames(std::span<const IncomingName> names) {
    incoming_.names = names;
}

void SqliteSql::useNameIds(std::span<const NameIds> ids) {
    incoming_.nameIds = ids;
}

void SqliteSql::withIndexesAfter(const std::function<void()>& insert) {
    // The entries come in the list's order: its index fills from one end as they go in. The others are
    // made again as the file's schema holds them, which its check has found to be this program's own.
    std::vector<std::pair<std::string, std::string>> indexes;
    runWith("SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = 'entry' AND "
            "name <> 'entry_in_list' AND sql IS NOT NULL",
            {}, [&](const SqlRow& row) { indexes.emplace_back(row.bytes(0), row.bytes(1)); });
    for (const auto& [name, sql] : indexes)
        db_.execute(("DROP INDEX " + name).c_str());
    // No page is written twice: a small cache spills each to the log once it is full.
    std::int64_t cacheSize = 0;
    runWith("PRAGMA cache_size", {}, [&](const SqlRow& row) { cacheSize = row.integer(0); });
    db_.execute("PRAGMA cache_size = -2048");
    insert();
    for (const auto& [name, sql] : indexes)
        db_.execute(sql.c_str());
    db_.execute(("PRAGMA cache_size = " + std::to_string(cacheSize)).c_str());
}

} // namespace coffer
