// SPDX-License-Identifier: MIT
// The days, ISO weeks and times of named zones agree with the system's `date` in those zones, and so do the
// moments each day and week spans: across midnight, daylight saving's changes both ways, zones half an hour
// and three quarters off, and the ISO weeks that begin a year in the year before.
#include "ledger/zone_calendar.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace coffer {
namespace {

// What `TZ=ZONE date -d @SECONDS +FORMAT` prints, without its line break.
std::string SystemDate(const std::string& zone, std::int64_t seconds, const char* format) {
    const std::string command = "TZ=':" + zone + "' date -d @" + std::to_string(seconds) + " '+" + format + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 128> line{};
    if (!pipe || !std::fgets(line.data(), line.size(), pipe.get()))
        return "(no answer from date)";
    std::string text(line.data());
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

TEST(ZoneCalendar, DaysWeeksAndTimesAsTheSystemsDateShowsThem) {
    const char* zones[] = {"UTC",          "Europe/Berlin",   "America/New_York",
                           "Asia/Kolkata", "Pacific/Chatham", "Australia/Lord_Howe"};
    const std::int64_t moments[] = {
        1228262400, // 2008-12-03 00:00:00 UTC
        1228262399, // a second before
        1230508800, // Monday 2008-12-29 00:00 UTC: ISO week 2009-W01
        1230508799, // Sunday 2008-12-28 23:59:59 UTC: 2008-W52
        1206838800, // 2008-03-30 01:00 UTC: Berlin's clocks go forward
        1225587600, // 2008-11-02 01:00 UTC: New York's go back an hour later
        1104537600, // 2005-01-01 00:00 UTC: a Saturday in ISO week 2004-W53
        1712411400, // 2024-04-06 13:50 UTC: Lord Howe's half hour back at 2:00 local
        -86400,     // before 1970
    };
    for (const char* zone : zones) {
        const std::optional<ZoneCalendar> calendar = ZoneCalendar::Named(zone);
        ASSERT_TRUE(calendar) << zone;
        EXPECT_EQ(calendar->name(), zone);
        for (const std::int64_t seconds : moments) {
            const std::int64_t ms = seconds * 1000 + 999; // the milliseconds never round up
            EXPECT_EQ(calendar->dayText(ms), SystemDate(zone, seconds, "%F")) << zone << ' ' << seconds;
            EXPECT_EQ(calendar->weekText(ms), SystemDate(zone, seconds, "%G-W%V")) << zone << ' ' << seconds;
            EXPECT_EQ(calendar->timeText(ms), SystemDate(zone, seconds, "%F %T")) << zone << ' ' << seconds;
            // The span of the day or week is exactly the moments of its text.
            for (const auto& [span, text] : {std::pair(calendar->daySpan(ms), &ZoneCalendar::dayText),
                                             std::pair(calendar->weekSpan(ms), &ZoneCalendar::weekText)}) {
                const std::string shown = (*calendar.*text)(ms);
                EXPECT_TRUE(span.contains(ms) && (*calendar.*text)(span.first) == shown &&
                            (*calendar.*text)(span.end - 1) == shown)
                    << zone << ' ' << seconds << ' ' << shown;
                EXPECT_NE((*calendar.*text)(span.first - 1), shown) << zone << ' ' << seconds;
                EXPECT_NE((*calendar.*text)(span.end), shown) << zone << ' ' << seconds;
            }
        }
    }
    for (const char* unknown : {"Mars/Olympus_Mons", "", "../../etc/passwd", "Europe/Berlin\n"})
        EXPECT_FALSE(ZoneCalendar::Named(unknown)) << unknown;
}

} // namespace
} // namespace coffer
