// SPDX-License-Identifier: MIT
// A paste as a ledger reads it, on any bytes: every entry's kept text has the entry's identity, and the
// log the ledger hands to the analysis reads back as the same entries, each as often as it has copies.
#include "ledger/entry_identity.h"
#include "ledger/ledger_log.h"
#include "ledger/paste.h"

#include <cstdint>
#include <string_view>
#include <unordered_set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    const Paste paste = ReadPaste(std::string_view(reinterpret_cast<const char*>(data), size));
    LedgerLogWriter writer;
    std::uint64_t copies = 0;
    std::unordered_set<std::string> identities;
    for (const PasteEntry& entry : paste.entries) {
        const std::string identity = EntryIdentity(entry.text);
        if (entry.hash != IdentityHash(identity) || entry.copies == 0 || !identities.insert(identity).second)
            __builtin_trap();
        writer.add({.text = std::string(entry.text),
                    .copies = entry.copies,
                    .order = entry.order,
                    .ts = entry.ts,
                    .key = EntryKey(identity, entry.ts)});
        copies += entry.copies;
    }
    if (copies > paste.elements)
        __builtin_trap();
    const HugeText written = writer.text(std::nullopt);
    const Paste again = ReadPaste(written);
    if (again.elements != copies || again.entries.size() != paste.entries.size())
        __builtin_trap();
    for (const PasteEntry& entry : again.entries)
        if (!identities.contains(EntryIdentity(entry.text)))
            __builtin_trap();
    return 0;
}
