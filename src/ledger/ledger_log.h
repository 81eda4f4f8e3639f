#pragma once
// A ledger's entries as the analysis reads them: one bank log text, in an order that depends only on
// the set of pastes, never on when or by whom they were added.

#include "analysis/tables/huge_page_allocator.h"
#include "ledger/ledger_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

// A log text of many megabytes, on huge pages: on this kind of machine the first touch of fresh memory
// costs far more per 4 KiB page than per 2 MiB one.
using HugeText = std::basic_string<char, std::char_traits<char>, HugePageAllocator<char>>;

// Takes a ledger's entries in any order and writes them as one page of bank log under the guild's key
// line, each entry's text as many times as it has copies: newest first; an entry without a time where
// its page put it; entries of equal time in the order of the pastes that list them; where none
// decides, by text in byte order.
class LedgerLogWriter {
  public:
    void add(const LedgerEntry& entry);
    // Of the entries added so far, every copy.
    std::uint64_t copies() const { return copies_; }
    HugeText text(const std::optional<GuildIdentity>& guild);

  private:
    struct Placed {
        EntryOrder order;
        std::string_view text; // in one of the chunks
        std::uint64_t copies = 0;
    };
    using Chunk = std::vector<char, HugePageAllocator<char>>;
    std::vector<Chunk> chunks_; // the texts, one after the other; a chunk never grows past its capacity
    std::vector<Placed, HugePageAllocator<Placed>> placed_;
    std::uint64_t copies_ = 0;
    std::size_t bytes_ = 0; // of the entries' lines, every copy
};

// "NAME of REALM", as messages name a guild.
std::string GuildText(const GuildIdentity& guild);

} // namespace coffer
