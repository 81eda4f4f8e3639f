// SPDX-License-Identifier: MIT
#pragma once
// A look at a ledger file that opens nothing and takes no lock: the size and time of change of the file
// and of its write-ahead log. Every commit of any program changes it, so two looks that differ tell that
// the ledger may have changed in between; equal looks, that it has not.

#include <string>

namespace coffer {

// An empty write-ahead log looks as none does: a program that merely opens the ledger leaves one behind,
// which holds nothing.
std::string LedgerFileLook(const std::string& path);

} // namespace coffer
