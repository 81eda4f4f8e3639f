#include "ledger/ledger_open.h"

#include "ledger/postgres_connection.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"

namespace coffer {

bool IsServerLedger(std::string_view name) {
    return name.starts_with("postgresql://") || name.starts_with("postgres://");
}

std::string LedgerDisplayName(const std::string& name) {
    return IsServerLedger(name) ? PgDisplayName(name) : name;
}

std::unique_ptr<LedgerStore> OpenLedger(const std::string& name, LedgerAccess access, const LockWait& lockWait) {
    if (IsServerLedger(name))
        return std::make_unique<PostgresLedger>(name, access);
    return std::make_unique<SqliteLedger>(
        name, access == LedgerAccess::ReadOnly ? SqliteDatabase::Access::ReadOnly : SqliteDatabase::Access::ReadWrite,
        lockWait);
}

} // namespace coffer
