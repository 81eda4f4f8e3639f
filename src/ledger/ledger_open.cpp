#include "ledger/ledger_open.h"

#include "ledger/password_free_text.h"
#include "ledger/postgres_connection.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace coffer {
namespace {

// Every byte but the unreserved characters of a URI as %XX.
std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~')
            encoded += c;
        else
            encoded += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
    return encoded;
}

} // namespace

bool IsServerLedger(std::string_view name) {
    return name.starts_with("postgresql://") || name.starts_with("postgres://");
}

std::string LedgerDisplayName(const std::string& name) {
    return IsServerLedger(name) ? PgDisplayName(name) : name;
}

LedgerError CannotOpenLedger(const std::string& name, const std::error_code& reason) {
    return LedgerError(LedgerErrorKind::Other, name + ": cannot open the ledger: " + reason.message());
}

std::string LedgerNameWithoutPassword(const std::string& name) {
    if (!IsServerLedger(name))
        return name;
    std::string uri = name;
    // The user's part ends at the first '@' before any '/', as libpq reads it; a password follows a ':'.
    const std::size_t start = uri.find("://") + 3, at = uri.find_first_of("@/", start);
    if (const std::size_t colon = uri.find(':', start); at != std::string::npos && uri[at] == '@' && colon < at)
        uri.erase(colon, at - colon);
    const std::size_t query = uri.find('?', start);
    if (query == std::string::npos)
        return uri;
    std::string kept;
    for (std::size_t begin = query + 1; begin <= uri.size();) {
        const std::size_t end = std::min(uri.find('&', begin), uri.size());
        const std::string_view parameter = std::string_view(uri).substr(begin, end - begin);
        if (!IsPasswordName(parameter.substr(0, parameter.find('='))))
            kept.append(kept.empty() ? "" : "&").append(parameter);
        begin = end + 1;
    }
    return uri.substr(0, query) + (kept.empty() ? "" : "?" + kept);
}

std::string ServerLedgerWithPassword(const std::string& uri, const std::string& password) {
    const char* joiner = uri.find('?') == std::string::npos ? "?" : uri.ends_with('?') || uri.ends_with('&') ? "" : "&";
    return uri + joiner + "password=" + PercentEncoded(password);
}

std::string ServerLedgerUri(const std::string& host, const std::string& port, const std::string& database,
                            const std::string& user) {
    std::string uri = "postgresql://" + (user.empty() ? "" : PercentEncoded(user) + "@");
    const bool socket = host.starts_with('/');
    if (!socket) // an IPv6 address goes in brackets
        uri += host.find(':') != std::string::npos ? "[" + host + "]" : PercentEncoded(host);
    // Appended piece by piece: a literal joined to a temporary string makes GCC 12 at -O3 warn
    // (-Wrestrict) of overlapping copies that cannot occur.
    if (!socket && !port.empty())
        uri.append(":").append(PercentEncoded(port));
    uri.append("/").append(PercentEncoded(database));
    if (socket)
        uri.append("?host=").append(PercentEncoded(host));
    if (socket && !port.empty())
        uri.append("&port=").append(PercentEncoded(port));
    return uri;
}

std::unique_ptr<LedgerStore> OpenLedger(const std::string& name, LedgerAccess access, const LockWait& lockWait) {
    // SQLite would take an empty name for a temporary database, which keeps nothing.
    if (name.empty())
        throw LedgerError(LedgerErrorKind::EmptyName, "the ledger name is empty");
    if (IsServerLedger(name))
        return std::make_unique<PostgresLedger>(name, access);
    return std::make_unique<SqliteLedger>(
        name, access == LedgerAccess::ReadOnly ? SqliteDatabase::Access::ReadOnly : SqliteDatabase::Access::ReadWrite,
        lockWait);
}

} // namespace coffer
