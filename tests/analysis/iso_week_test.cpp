#include "analysis/tables/weekly_activity.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

namespace coffer {
namespace {

// The week of every day from 1970 to 2100 is the one the C library's %G and %V give.
TEST(IsoWeek, EveryDayFrom1970To2100IsTheCLibrarysWeek) {
    char expected[16] = {}, actual[16] = {};
    for (std::time_t day = 0; day < 4133980800; day += 86400) { // up to 2101-01-01
        std::tm date{};
        ASSERT_NE(gmtime_r(&day, &date), nullptr);
        std::strftime(expected, sizeof expected, "%G-W%V", &date);
        const IsoWeek week = IsoWeekOf(date);
        std::snprintf(actual, sizeof actual, "%d-W%02d", week.year, week.week);
        ASSERT_STREQ(actual, expected);
    }
}

} // namespace
} // namespace coffer
