// SPDX-License-Identifier: MIT
#pragma once
// A ledger's entries as the analysis reads them: one bank log text, in an order that depends only on
// the set of pastes, never on when or by whom they were added.

#include "analysis/tables/huge_page_allocator.h"
#include "ledger/ledger_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace coffer {

// A log text of many megabytes, written once, on huge pages: on this kind of machine the first touch of
// fresh memory costs far more per 4 KiB page than per 2 MiB one. Its bytes start unset.
class HugeText {
  public:
    HugeText() = default;
    explicit HugeText(std::size_t size)
        : data_(size > 0 ? static_cast<char*>(huge_pages::Allocate(size)) : nullptr), size_(size) {}
    HugeText(HugeText&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    HugeText& operator=(HugeText other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~HugeText() {
        if (data_ != nullptr)
            huge_pages::Free(data_, size_);
    }

    char* data() { return data_; }
    operator std::string_view() const { return {data_, size_}; }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

// Takes a ledger's entries in any order and writes them as one page of bank log under the guild's key
// line, each entry's text as many times as it has copies, in the ledger's order of its entries
// (ComesBefore): newest first; an entry without a time where its page put it; entries of equal time in
// the order of the pastes that list them; where none decides, by key.
class LedgerLogWriter {
  public:
    void add(const LedgerEntry& entry);
    // Of the entries added so far, every copy.
    std::uint64_t copies() const { return copies_; }
    HugeText text(const std::optional<GuildIdentity>& guild);

  private:
    struct Placed {
        EntryOrder order;
        std::string_view text, key; // in one of the chunks
        std::uint64_t copies = 0;
    };
    using Chunk = std::vector<char, HugePageAllocator<char>>;
    std::vector<Chunk> chunks_; // the texts and keys, one after the other; a chunk never grows past its capacity
    std::vector<Placed, HugePageAllocator<Placed>> placed_;
    std::uint64_t copies_ = 0;
    std::size_t bytes_ = 0; // of the entries' lines, every copy
};

} // namespace coffer
