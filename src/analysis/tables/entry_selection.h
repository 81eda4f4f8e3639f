// SPDX-License-Identifier: MIT
#pragma once
// Which scanned entries a run analyses: those of a chosen period, and each element pasted on more than
// one page only once when asked.

#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/huge_page_allocator.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace coffer {

// A calendar day in the local time zone.
struct LocalDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    auto operator<=>(const LocalDate&) const = default;
};

// Milliseconds since 1970 UTC, both ends included.
struct TimeRange {
    std::uint64_t first = 0;
    std::uint64_t last = UINT64_MAX;
    bool contains(std::uint64_t ts) const { return ts >= first && ts <= last; }
    bool operator==(const TimeRange&) const = default;
};

// From the start of the first day to the end of the last one, in the local time zone; a missing day
// leaves that side open.
TimeRange LocalDaysRange(std::optional<LocalDate> firstDay, std::optional<LocalDate> lastDay);

struct EntrySelection {
    // Entries outside it, and entries without a readable time, are left out; none: every entry counts.
    std::optional<TimeRange> period;
    // An element whose text (whitespace aside) already appeared on an earlier page is skipped.
    bool countRepeatedOnce = false;
};

// An element of the scanned text: its hash and where its lines lie.
struct ElementText {
    std::uint64_t hash = 0, begin = 0, end = 0;
};

// Elements of a text, found by hash and told apart by their words: a hash only picks the candidates.
// One open-addressed table: a million elements in a few flat megabytes, with none of a node set's
// allocations.
class ElementSet {
  public:
    explicit ElementSet(std::string_view text) : text_(text) {}
    // Whether the set holds an element with the same words.
    bool contains(const ElementText& element) const;
    // Adds the element unless one with the same words is there.
    void insert(const ElementText& element);
    // Room for this many elements, so that the table does not grow, and rehash, on the way to them.
    void reserve(std::size_t elements);
    // Starts loading the slot where a look-up of the hash begins: a look-up soon after finds it in the
    // cache instead of waiting for memory.
    void prefetch(std::uint64_t hash) const;

  private:
    // The first slot from the hash's on that is empty or holds an element with the same words.
    std::size_t slotOf(const ElementText& element) const;
    std::string_view wordsOf(const ElementText& element) const;

    std::string_view text_;
    // A hash of 0 marks an empty slot; an element's hash of 0 is kept as 1.
    std::vector<ElementText, HugePageAllocator<ElementText>> slots_;
    std::size_t size_ = 0;
};

// Decides entry by entry, in log order, and counts what it saw. One filter per pass over the log.
class EntryFilter {
  public:
    // `text` is the text the entries are scanned from, where their elements are compared.
    EntryFilter(const EntrySelection& selection, std::string_view text) : selection_(selection), earlierPages_(text) {}

    // Whether the entry is to be analysed.
    bool admit(const BankLogEntry& entry);
    // Room for this many entries' elements, taken when the first page ends: a log of one page needs
    // none.
    void reserve(std::size_t entries) { expected_ = entries; }
    // Told of an entry a little before its admit(): its look-up then waits for no memory.
    void prefetch(const BankLogEntry& entry) const { earlierPages_.prefetch(entry.textHash); }

    std::uint64_t outsidePeriod() const { return outsidePeriod_; }
    std::uint64_t repeated() const { return repeated_; }

  private:
    bool seenOnEarlierPage(const BankLogEntry& entry);

    EntrySelection selection_;
    std::uint64_t outsidePeriod_ = 0;
    std::uint64_t repeated_ = 0;
    std::uint64_t page_ = 0;
    ElementSet earlierPages_; // the elements of every finished page
    std::size_t expected_ = 0;
    std::vector<ElementText> thisPage_; // this page's, added to those when it ends
    std::vector<bool> thisPageEarlier_; // whether each was on an earlier page, hence in the set already
};

} // namespace coffer
