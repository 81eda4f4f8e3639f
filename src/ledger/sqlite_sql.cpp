// SPDX-License-Identifier: MIT
#include "ledger/sqlite_sql.h"

#include "ledger/sqlite_ledger.h"

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
                                        "coffer_list_sums(type, money, item_count, copies)"};
    return kSqlite;
}

void SqliteSql::runWith(const std::string& sql, std::span<const SqlValue> params,
                        const std::function<void(const SqlRow&)>& row) {
    SqliteStatement statement(db_, sql.c_str());
    for (std::size_t number = 1; number <= params.size(); ++number) {
        // A parameter the statement does not name has no index.
        const int index = statement.parameterIndex("$" + std::to_string(number));
        const SqlValue& param = params[number - 1];
        if (index == 0)
            continue;
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

void SqliteSql::loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys,
                             std::span<const EntryFields> fields, const AddProgress& progress) {
    // Nothing is copied: the table reads the entries where they are. Cancelled before the work starts,
    // which has no steps to tell of.
    if (progress && !progress(0, entries.size()))
        throw AddCancelled();
    incoming_ = {entries, &keys, fields, {}};
}

void SqliteSql::useNameIds(std::span<const NameIds> ids) {
    incoming_.nameIds = ids;
}

} // namespace coffer
