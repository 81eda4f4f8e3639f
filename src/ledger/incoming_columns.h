// SPDX-License-Identifier: MIT
#pragma once
// What an add makes of its entries before they go to the ledger: each entry's key and the list's fields,
// made on two threads, one for each half of the entries (the scan before and the ledger's work after
// run on one).

#include "ledger/ledger_sql.h"

#include <functional>
#include <span>

namespace coffer {

struct IncomingColumns {
    EntryKeys keys;
    IncomingFields fields;
};

// Called on the calling thread every kEntriesPerLook entries of its half with how many entries both
// threads have made; `look` may throw, which stops the other thread and leaves through this call. An
// exception of the other thread leaves through it too.
IncomingColumns MakeIncomingColumns(std::span<const PasteEntry> entries, EntryKeyFunction entryKey,
                                    const std::function<void(std::size_t made)>& look);

} // namespace coffer
