// SPDX-License-Identifier: MIT
#include "ledger/zone_calendar.h"

#include <date/date.h>
#include <date/iso_week.h>
#include <date/tz.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The first moment of a local day, in milliseconds since 1970 UTC: where the clocks skip its midnight, the
// moment they skip.
std::int64_t FirstMoment(const date::time_zone* zone, date::local_days day) {
    const date::sys_seconds first = zone->to_sys(date::local_seconds(day), date::choose::earliest);
    return std::chrono::duration_cast<std::chrono::milliseconds>(first.time_since_epoch()).count();
}

// The zone a path into the zone files names: "/usr/share/zoneinfo/Europe/Berlin" is Europe/Berlin.
std::string ZoneOfPath(const std::string& path) {
    constexpr std::string_view kFolder = "zoneinfo/";
    const std::size_t at = path.rfind(kFolder);
    return at == std::string::npos ? path : path.substr(at + kFolder.size());
}

// The name, where the system knows such a zone.
std::optional<std::string> Known(std::string name) {
    return ZoneCalendar::Named(name) ? std::optional(std::move(name)) : std::nullopt;
}

} // namespace

std::optional<std::string> MachineZoneName() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0')
        return Known(ZoneOfPath(tz + (*tz == ':' ? 1 : 0)));
    std::error_code error;
    if (const std::filesystem::path link = std::filesystem::read_symlink("/etc/localtime", error); !error)
        return Known(ZoneOfPath(link.string()));
    std::string name;
    if (std::ifstream file("/etc/timezone"); std::getline(file, name))
        return Known(name);
    return std::filesystem::exists("/etc/localtime", error) ? std::nullopt : std::optional<std::string>("UTC");
}

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

ZoneCalendar::Span ZoneCalendar::daySpan(std::int64_t ms) const {
    const date::local_days day = date::floor<date::days>(Local(zone_, ms));
    return {FirstMoment(zone_, day), FirstMoment(zone_, day + date::days{1})};
}

ZoneCalendar::Span ZoneCalendar::weekSpan(std::int64_t ms) const {
    const date::local_days day = date::floor<date::days>(Local(zone_, ms));
    const date::local_days monday = day - (date::weekday{day} - date::Monday);
    return {FirstMoment(zone_, monday), FirstMoment(zone_, monday + date::days{7})};
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
