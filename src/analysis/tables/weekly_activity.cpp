// SPDX-License-Identifier: MIT
#include "analysis/tables/weekly_activity.h"

#include "analysis/tables/transaction_totals.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <string_view>

namespace coffer {
namespace {

// A whole number as the log writes it; anything else (or more than 64 bits) counts as nothing.
std::uint64_t AmountOf(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::int64_t CopperOf(const BankLogEntry& entry) {
    return std::max<std::int64_t>(0, ReadableCopper(entry.money).value_or(0));
}

// 52 or 53: a year has 53 ISO weeks when it starts on a Thursday, or on a Wednesday in a leap year.
int IsoWeeksIn(int year) {
    auto startsAt = [](long long y) { return (y + y / 4 - y / 100 + y / 400) % 7; };
    return startsAt(year) == 4 || startsAt(year - 1LL) == 3 ? 53 : 52;
}

std::uint64_t LocalMidnightMs(const std::tm& date, int dayOffset) {
    std::tm day{};
    day.tm_year = date.tm_year;
    day.tm_mon = date.tm_mon;
    day.tm_mday = date.tm_mday + dayOffset;
    day.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&day);
    return seconds <= 0 ? 0 : static_cast<std::uint64_t>(seconds) * 1000;
}

} // namespace

IsoWeek IsoWeekOf(const std::tm& date) {
    const int weekday = (date.tm_wday + 6) % 7 + 1; // Monday 1 .. Sunday 7
    const int year = date.tm_year + 1900;
    const int week = (date.tm_yday + 1 - weekday + 10) / 7;
    if (week < 1)
        return {.year = year - 1, .week = IsoWeeksIn(year - 1)};
    if (week > IsoWeeksIn(year))
        return {.year = year + 1, .week = 1};
    return {.year = year, .week = week};
}

bool WeeklyActivity::selectWeek(std::uint64_t ts) {
    if (ts >= currentFirst_ && ts < currentEnd_)
        return true;
    const std::time_t seconds = static_cast<std::time_t>(ts / 1000);
    std::tm date{};
    if (localtime_r(&seconds, &date) == nullptr)
        return false;
    current_ = IsoWeekOf(date);
    const int daysSinceMonday = (date.tm_wday + 6) % 7;
    currentFirst_ = LocalMidnightMs(date, -daysSinceMonday);
    currentEnd_ = LocalMidnightMs(date, 7 - daysSinceMonday);
    return true;
}

void WeeklyActivity::add(const BankLogEntry& entry) {
    if (!entry.ts || !selectWeek(*entry.ts)) {
        ++undated_;
        return;
    }
    WeekTotals& week = weeks_[current_];
    ++week.entries;
    if (entry.type == entry_type::kGoldDeposit)
        week.goldDeposited += CopperOf(entry);
    else if (entry.type == entry_type::kGoldWithdrawal || entry.type == entry_type::kRepair)
        week.goldWithdrawn += CopperOf(entry);
    else if (entry.type == entry_type::kItemDeposit)
        week.itemsDeposited += AmountOf(entry.count);
    else if (entry.type == entry_type::kItemWithdrawal)
        week.itemsWithdrawn += AmountOf(entry.count);
}

void WeeklyActivity::clear() {
    weeks_.clear();
    undated_ = 0;
    currentFirst_ = currentEnd_ = 0;
}

} // namespace coffer
