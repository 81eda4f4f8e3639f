// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"
#include "ledger/postgres_ledger.h"
#include "ledger/postgres_listener.h"
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
    // The windows that show the ledger hear of the add once it is in: a notice goes out with the commit.
    db_.execute(std::string("NOTIFY ") + kLedgerChannel);
    transaction.commit();
    return outcome;
}

std::vector<PasteRecord> PostgresLedger::pastes() {
    PgSql sql(db_);
    return ReadPastes(sql);
}

} // namespace coffer

namespace coffer {

bool PostgresLedger::withListSql(const std::function<void(LedgerSql& sql, ListNames& names)>& read) {
    if (!listIndexed_)
        return false;
    PgSql sql(db_);
    read(sql, listNames_);
    return true;
}

} // namespace coffer
