#pragma once
// A ledger by its name, as the user gives it: a file, or a PostgreSQL connection URI for a ledger on a
// server that several officers share.

#include "ledger/ledger_store.h"

#include <memory>
#include <string>
#include <string_view>

namespace coffer {

enum class LedgerAccess { ReadOnly, ReadWrite };

// A postgresql:// or postgres:// URI.
bool IsServerLedger(std::string_view name);

// The name as messages show it: a server ledger's without its password.
std::string LedgerDisplayName(const std::string& name);

// ReadWrite creates a missing ledger; ReadOnly never creates or writes one. Throws LedgerError.
// `lockWait` hears of waits for another program's lock on a ledger file.
std::unique_ptr<LedgerStore> OpenLedger(const std::string& name, LedgerAccess access, const LockWait& lockWait = {});

} // namespace coffer
