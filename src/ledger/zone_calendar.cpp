// SPDX-License-Identifier: MIT
#include "ledger/zone_calendar.h"

#include <date/date.h>
#include <date/iso_week.h>
#include <date/tz.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace coffer {
namespace {

using Milliseconds = date::local_time<std::chrono::milliseconds>;

std::string TwoDigits(unsigned value) {
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

std::string YearText(int year) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", year);
    return text;
}

// The moments a calendar shows: the years 1 to 9999. Others are shown as the nearest of those, which no
// entry of a ledger comes near.
constexpr std::int64_t kEarliestMs = -62'135'596'800'000, kLatestMs = 253'402'214'400'000;

Milliseconds Local(const date::time_zone* zone, std::int64_t ms) {
    const std::int64_t shown = std::clamp(ms, kEarliestMs, kLatestMs);
    return zone->to_local(date::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(shown)));
}

} // namespace

std::optional<ZoneCalendar> ZoneCalendar::Named(const std::string& zone) {
    try {
        return ZoneCalendar(date::locate_zone(zone), zone);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::string ZoneCalendar::dayText(std::int64_t ms) const {
    const date::year_month_day day{date::floor<date::days>(Local(zone_, ms))};
    return YearText(static_cast<int>(day.year())) + '-' + TwoDigits(static_cast<unsigned>(day.month())) + '-' +
           TwoDigits(static_cast<unsigned>(day.day()));
}

std::string ZoneCalendar::weekText(std::int64_t ms) const {
    const iso_week::year_weeknum_weekday week{date::floor<date::days>(Local(zone_, ms))};
    return YearText(static_cast<int>(week.year())) + "-W" + TwoDigits(static_cast<unsigned>(week.weeknum()));
}

std::string ZoneCalendar::timeText(std::int64_t ms) const {
    const Milliseconds local = Local(zone_, ms);
    const date::local_days day = date::floor<date::days>(local);
    const date::hh_mm_ss clock{date::floor<std::chrono::seconds>(local - day)};
    return dayText(ms) + ' ' + TwoDigits(static_cast<unsigned>(clock.hours().count())) + ':' +
           TwoDigits(static_cast<unsigned>(clock.minutes().count())) + ':' +
           TwoDigits(static_cast<unsigned>(clock.seconds().count()));
}

} // namespace coffer
