// SPDX-License-Identifier: MIT
#include "ledger/ledger_output_check.h"

#include "ledger/ledger_open.h"

#include <filesystem>
#include <sys/stat.h>

namespace coffer {
namespace {
namespace fs = std::filesystem;

bool SameExistingFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// The name from the root, past "." and "..", and past the links of the parts that exist.
fs::path ResolvedName(const std::string& name) {
    std::error_code error;
    const fs::path absolute = fs::absolute(name, error);
    if (error)
        return fs::path(name).lexically_normal();
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : resolved;
}

} // namespace

std::string LedgerOutputRefusal(const std::string& shown, const std::string& output, const std::string& ledger) {
    if (IsServerLedger(ledger) || ledger.empty() || output.empty())
        return {};
    const fs::path outputName = ResolvedName(output), ledgerName = ResolvedName(ledger);
    if (SameExistingFile(output, ledger) || outputName == ledgerName)
        return shown + " is the ledger itself";
    // SQLite keeps its companions beside the file past the ledger's links.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (SameExistingFile(output, ledger + suffix) || outputName == ledgerName.string() + suffix)
            return shown + " is a file of the ledger";
    return {};
}

} // namespace coffer
