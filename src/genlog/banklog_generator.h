// SPDX-License-Identifier: MIT
// Synthetic guild bank logs for benchmarks and load tests.
//
// The output has exactly the layout the armory publishes: one XML document per
// page of 1000 entries, the pages pasted one under the other, newest entry
// first, one element start per line, attributes in alphabetical order and LF
// line endings. Everything is derived from the seed with a small built-in PRNG
// and integer arithmetic only, so the bytes are the same on every platform,
// compiler and standard library.
//
// Further guarantees the tests rely on:
//   * the first N entries of a log are the same whatever entry count is asked
//     for, so a small log is a prefix (entry-wise) of a bigger one;
//   * timestamps strictly decrease over the whole log (1 s steps or more, in
//     milliseconds) for the first 30 million entries or so; in the unlikely
//     case a log runs the clock down to the floor it continues in 1 ms steps;
//   * member names are unique, 2..12 ASCII letters, capitalised, never "Null";
//   * item ids are unique and each id always carries the same name, icon,
//     quality, class and stack size;
//   * a log with zero entries is still one (empty) page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace coffer::bench {

inline constexpr std::size_t kBankLogEntriesPerPage = 1000;

// Upper bounds on the generated roster and item catalogue; more than this is
// rejected with std::invalid_argument (the name pools would run dry).
inline constexpr std::size_t kMaxGeneratedMembers = 200'000;
inline constexpr std::size_t kMaxGeneratedItems = 1'000'000;

struct BankLogGeneratorOptions {
    std::size_t entry_count = 0;
    std::size_t member_count = 3000;
    std::size_t item_count = 5000;
    std::uint64_t seed = 1;
    std::string guild_name = "Iron Lanterns";
    std::string realm = "Silver Hand";
    // Each page after the first starts with this many entries from the end of the one before, as when
    // an officer pastes overlapping pages (at most kBankLogEntriesPerPage). The entry count and the
    // pages' own 1000 entries are unchanged; the repeats come on top.
    std::size_t overlap_entries = 0;
    // When not 0, timestamps are spread evenly over this many days back from the newest entry (entry i
    // at newest - i * days / entry_count) instead of a few seconds apart. At most kMaxSpreadDays.
    std::uint64_t spread_days = 0;
};

inline constexpr std::uint64_t kMaxSpreadDays = 10'000;

// Whole log in memory. Throws std::invalid_argument when member_count or
// item_count is 0 or above the limits above, guild_name/realm is empty, or
// overlap_entries or spread_days is above its limit.
std::string GenerateBankLog(const BankLogGeneratorOptions& options);

// Same bytes as GenerateBankLog, written page by page so that memory use does
// not grow with the entry count. Stops early if the stream goes bad; the
// caller checks the stream state afterwards.
void WriteBankLog(std::ostream& out, const BankLogGeneratorOptions& options);

} // namespace coffer::bench
