// SPDX-License-Identifier: MIT
#include "ledger/ledger_open.h"

#include "analysis/text/web_text.h"
#include "ledger/password_free_text.h"
#include "ledger/postgres_connection.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"

#include <algorithm>
#include <string>

namespace coffer {
bool IsServerLedger(std::string_view name) {
    return name.starts_with("postgresql://") || name.starts_with("postgres://");
}

std::string LedgerDisplayName(const std::string& name) {
    return IsServerLedger(name) ? PgDisplayName(name) : name;
}

bool LedgerUnwritable(const std::string& name) {
    return !IsServerLedger(name) && LedgerFileUnwritable(name);
}

LedgerError CannotOpenLedger(const std::string& name, const std::error_code& reason) {
    return LedgerError(LedgerErrorKind::Other, name + ": cannot open the ledger: " + reason.message());
}

std::string LedgerNameWithoutPassword(const std::string& name) {
    return IsServerLedger(name) ? UriWithoutPassword(name) : name;
}

std::string ServerLedgerWithPassword(const std::string& uri, const std::string& password) {
    const char* joiner = uri.find('?') == std::string::npos ? "?" : uri.ends_with('?') || uri.ends_with('&') ? "" : "&";
    return uri + joiner + "password=" + PercentEncode(password, SpaceAs::Percent20);
}

std::string ServerLedgerUri(const std::string& host, const std::string& port, const std::string& database,
                            const std::string& user) {
    std::string uri = "postgresql://" + (user.empty() ? "" : PercentEncode(user, SpaceAs::Percent20) + "@");
    const bool socket = host.starts_with('/');
    if (!socket) // an IPv6 address goes in brackets
        uri += host.find(':') != std::string::npos ? "[" + host + "]" : PercentEncode(host, SpaceAs::Percent20);
    // Appended piece by piece: a literal joined to a temporary string makes GCC 12 at -O3 warn
    // (-Wrestrict) of overlapping copies that cannot occur.
    if (!socket && !port.empty())
        uri.append(":").append(PercentEncode(port, SpaceAs::Percent20));
    uri.append("/").append(PercentEncode(database, SpaceAs::Percent20));
    if (socket)
        uri.append("?host=").append(PercentEncode(host, SpaceAs::Percent20));
    if (socket && !port.empty())
        uri.append("&port=").append(PercentEncode(port, SpaceAs::Percent20));
    return uri;
}

std::unique_ptr<LedgerStore> OpenLedger(const std::string& name, LedgerAccess access, const LockWait& lockWait,
                                        const UpgradeWatch& upgradeWatch) {
    // SQLite would take an empty name for a temporary database, which keeps nothing.
    if (name.empty())
        throw LedgerError(LedgerErrorKind::EmptyName, "the ledger name is empty");
    if (IsServerLedger(name))
        return std::make_unique<PostgresLedger>(name, access, PgTimeouts{}, upgradeWatch);
    return std::make_unique<SqliteLedger>(
        name, access == LedgerAccess::ReadOnly ? SqliteDatabase::Access::ReadOnly : SqliteDatabase::Access::ReadWrite,
        lockWait, std::chrono::minutes(1), upgradeWatch);
}

} // namespace coffer
