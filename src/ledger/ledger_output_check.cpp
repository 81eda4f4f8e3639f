// SPDX-License-Identifier: MIT
#include "ledger/ledger_output_check.h"

#include "analysis/scan/file_identity.h"
#include "ledger/ledger_open.h"

namespace coffer {

std::string LedgerOutputRefusal(const std::string& shown, const std::string& output, const std::string& ledger) {
    if (IsServerLedger(ledger) || ledger.empty() || output.empty())
        return {};
    const std::optional<FileIdentity> written = IdentityOf(output);
    if (!written)
        return {};
    if (written == IdentityOf(ledger))
        return shown + " is the ledger itself";
    // SQLite keeps its companions beside the file past the ledger's links.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (written == IdentityOf(PastLinks(ledger).string() + suffix))
            return shown + " is a file of the ledger";
    return {};
}

} // namespace coffer
