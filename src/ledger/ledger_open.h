// SPDX-License-Identifier: MIT
#pragma once
// A ledger by its name, as the user gives it: a file, or a PostgreSQL connection URI for a ledger on a
// server that several officers share.

#include "ledger/ledger_store.h"

#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace coffer {

// A postgresql:// or postgres:// URI.
bool IsServerLedger(std::string_view name);

// The name as messages show it: a server ledger's without its password.
std::string LedgerDisplayName(const std::string& name);

// The name as settings keep it: a server ledger's URI with no password, wherever the URI put one.
std::string LedgerNameWithoutPassword(const std::string& name);
// A server ledger's URI that also gives `password` (held in memory only).
std::string ServerLedgerWithPassword(const std::string& uri, const std::string& password);
// A server ledger's URI from its parts, percent-encoded; each may be empty for libpq's default. A host
// that starts with '/' is the folder of the server's Unix socket.
std::string ServerLedgerUri(const std::string& host, const std::string& port, const std::string& database,
                            const std::string& user);

// Whether this program may not write the ledger of this name: a file (or the files of its write-ahead
// log beside it) it has no right to write. Never for a server ledger, whose server says so when written.
bool LedgerUnwritable(const std::string& name);

// A ledger file that the file system refuses to look at (a link loop, a name too long, a folder that
// cannot be entered): "NAME: cannot open the ledger: REASON".
LedgerError CannotOpenLedger(const std::string& name, const std::error_code& reason);

// ReadWrite creates a missing ledger and brings an older one up to date; ReadOnly never creates or
// writes one. Throws LedgerError. `lockWait` hears of waits for another program's lock on a ledger file,
// `upgradeWatch` of an upgrade.
[[nodiscard]] std::unique_ptr<LedgerStore> OpenLedger(const std::string& name, LedgerAccess access,
                                                      const LockWait& lockWait = {},
                                                      const UpgradeWatch& upgradeWatch = {});

} // namespace coffer
