// SPDX-License-Identifier: MIT
#pragma once
// One paste as a ledger takes it in: its entries by identity, each with the most copies seen on any one
// page (a page starts at each "?xml" line), its times and its guilds.

#include "analysis/scan/bank_log_entry.h"
#include "ledger/entry_order.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

// How many entries the reading of a paste or of an add's entries goes through between two looks at the
// add's stop: some milliseconds' work.
constexpr std::uint64_t kEntriesPerLook = 4096;

// An entry's identity is that of its text (EntryIdentity), made again where it is needed rather than
// kept beside every entry.
struct PasteEntry {
    // The smallest, in byte order, of the paste's texts of it: a view into the paste's text, or into the
    // texts the paste or a merge keeps, which outlive the add.
    std::string_view text;
    std::uint64_t hash = 0;         // IdentityHash of its identity
    std::uint64_t copies = 0;       // the most copies of it on one page
    std::optional<std::int64_t> ts; // its own readable time
    EntryOrder order;
};

struct Paste {
    std::vector<PasteEntry> entries;             // one per identity, in order of first appearance
    std::uint64_t elements = 0;                  // the paste's entries, every copy on every page
    std::uint64_t unfinished = 0;                // entries left out: the paste ends inside them
    std::optional<std::int64_t> firstTs, lastTs; // the smallest and largest readable time
    std::vector<GuildIdentity> guilds;           // every distinct guild its guild key lines name
    std::uint64_t digest = 0;                    // of its identities and copies, in any order
    // The texts of entries whose lines the text breaks otherwise than with "\n", as the entries see them.
    std::deque<std::string> ownTexts;
};

// Reads a paste's text with the bank log scanner; its entries view the text, which must outlive them. Every
// kEntriesPerLook elements `stop`, where given, is asked, then `progress` told how many of the text's bytes are read:
// true from the one, false from the other ends the reading with AddCancelled.
Paste ReadPaste(std::string_view text, const std::function<bool()>& stop = {},
                const std::function<bool(std::uint64_t read, std::uint64_t size)>& progress = {});

// Whether the text is one whole banklog element, all of it, with this readable time: as a ledger stores
// an entry of a paste.
bool IsStoredElement(std::string_view text, const std::optional<std::int64_t>& ts);

} // namespace coffer
