// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"
#include "ledger/postgres_ledger.h"
#include "ledger/postgres_sql.h"

namespace coffer {

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
