// SPDX-License-Identifier: MIT
#pragma once
// Scanning and handling side by side: a second thread reads and scans the log while the calling
// thread handles the entries. Entries arrive in log order, so the results are exactly those of
// scanning and handling one entry after the other.

#include "analysis/scan/bank_log_scanner.h"

#include <cstdint>
#include <functional>

namespace coffer {

// Scans every line of the reader on a thread of its own and calls `onEntry` on the calling thread
// for each entry, in log order, until a stop is requested. The guild identity is set when the call
// returns, unless stopped. An exception from `onEntry` stops the scan and is passed on; so is one from the scan.
// `onRead` (may be empty) hears, on the scanning thread, how many bytes of the input have been read.
// `onUpcoming` (may be empty) is shown each entry on the calling thread a few entries before `onEntry`
// gets it, so that the handler can start loading what it will need.
void ScanBankLogConcurrently(LineReader& lines, GuildIdentity& guild, const EntryHandler& onEntry, std::stop_token stop,
                             const std::function<void(std::uint64_t bytes)>& onRead = {},
                             const std::function<void(const BankLogEntry&)>& onUpcoming = {});

// Scans the text as ScanBankLogElements does, on a thread of its own, and tells the hooks on the calling
// thread, in text order. An exception from a hook stops the scan and is passed on.
void ScanBankLogElementsConcurrently(std::string_view text, GuildIdentity& guild, const ElementTextHooks& hooks);

} // namespace coffer
