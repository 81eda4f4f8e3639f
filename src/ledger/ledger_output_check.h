// SPDX-License-Identifier: MIT
#pragma once
// An output must never replace the ledger: a report, a table or any later file that a program writes
// is checked against the ledger file in use and the files SQLite keeps beside it.

#include <string>

namespace coffer {

// "OUTPUT is the ledger itself" when `output` names the ledger file `ledger` (the same file by device
// and inode where both exist, through any link; else the same name past "./" and linked folders);
// "OUTPUT is a file of the ledger" when it names one of the ledger's companions, `-wal`, `-shm` or
// `-journal` (the same file, or by name); empty otherwise, and for a server ledger. OUTPUT is `shown`.
std::string LedgerOutputRefusal(const std::string& shown, const std::string& output, const std::string& ledger);

} // namespace coffer
