// SPDX-License-Identifier: MIT
#pragma once
// Gold and items moved in and out of the bank, per ISO week of the entries' local dates.

#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/cell_number.h"

#include <compare>
#include <cstdint>
#include <ctime>
#include <map>

namespace coffer {

// An ISO 8601 week: weeks start on Monday, week 1 holds the year's first Thursday.
struct IsoWeek {
    int year = 1970;
    int week = 1; // 1..53
    auto operator<=>(const IsoWeek&) const = default;
};

// The ISO week of a calendar date, from its tm_year, tm_yday and tm_wday.
IsoWeek IsoWeekOf(const std::tm& date);

// All amounts count up: gold in copper exactly (money the member totals cannot read moves nothing),
// items by their count. Each amount fits 64 bits, so their sums stay within 128.
struct WeekTotals {
    std::uint64_t entries = 0;     // analysed entries of the week, of any type
    WideAmount goldDeposited = 0;  // type 4
    WideAmount goldWithdrawn = 0;  // types 5 and 6 (withdrawals and repairs)
    WideAmount itemsDeposited = 0; // type 1
    WideAmount itemsWithdrawn = 0; // type 2
    auto operator<=>(const WeekTotals&) const = default;
};

class WeeklyActivity {
  public:
    // Adds one analysed entry: to its week, or to the undated ones when it has no readable time.
    void add(const BankLogEntry& entry);
    void clear();

    const std::map<IsoWeek, WeekTotals>& weeks() const { return weeks_; }
    std::uint64_t undatedEntries() const { return undated_; }

  private:
    // Makes the week holding the time the current one; false when the time has no local date.
    bool selectWeek(std::uint64_t ts);

    std::map<IsoWeek, WeekTotals> weeks_;
    std::uint64_t undated_ = 0;
    // The week of the last entry, which most of the next entries share: no time zone work for them.
    IsoWeek current_;
    std::uint64_t currentFirst_ = 0, currentEnd_ = 0; // its local Monday 00:00 to the next, in ms
};

} // namespace coffer
