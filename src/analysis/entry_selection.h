#pragma once
// Which scanned entries a run analyses: those of a chosen period, and each element pasted on more than
// one page only once when asked.

#include "analysis/bank_log_entry.h"
#include "analysis/huge_page_allocator.h"

#include <compare>
#include <cstdint>
#include <optional>
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
};

// From the start of the first day to the end of the last one, in the local time zone; a missing day
// leaves that side open.
TimeRange LocalDaysRange(std::optional<LocalDate> firstDay, std::optional<LocalDate> lastDay);

struct EntrySelection {
    // Entries outside it, and entries without a readable time, are left out; none: every entry counts.
    std::optional<TimeRange> period;
    // An element whose text already appeared on an earlier page is skipped.
    bool countRepeatedOnce = false;
};

// A set of 64-bit hashes in one open-addressed table: a million of them in a few flat megabytes, with
// none of a node set's allocations.
class HashSet {
  public:
    bool contains(std::uint64_t hash) const;
    void insert(std::uint64_t hash);
    // Room for this many hashes, so that the table does not grow, and rehash, on the way to them.
    void reserve(std::size_t hashes);
    // Starts loading the slot where a look-up of the hash begins: a look-up soon after finds it in the
    // cache instead of waiting for memory.
    void prefetch(std::uint64_t hash) const;

  private:
    std::size_t slotOf(std::uint64_t key) const;

    // 0 marks an empty slot; a hash of 0 is kept as 1.
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> slots_;
    std::size_t size_ = 0;
};

// Decides entry by entry, in log order, and counts what it saw. One filter per pass over the log.
class EntryFilter {
  public:
    explicit EntryFilter(const EntrySelection& selection) : selection_(selection) {}

    // Whether the entry is to be analysed.
    bool admit(const BankLogEntry& entry);
    // Room for this many entries' hashes up front.
    void reserve(std::size_t entries) { earlierPages_.reserve(entries); }
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
    HashSet earlierPages_;                // hashes of the elements of every finished page
    std::vector<std::uint64_t> thisPage_; // this page's, added to those when it ends
};

} // namespace coffer
