// SPDX-License-Identifier: MIT
#include "analysis/tables/weekly_activity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace coffer {
namespace {

// The week of every day from 1970 to 2100 is the one the C library's %G and %V give.
TEST(IsoWeek, EveryDayFrom1970To2100IsTheCLibrarysWeek) {
    for (std::time_t day = 0; day < 4133980800; day += 86400) { // up to 2101-01-01
        std::tm date{};
        char expected[8] = {};
        ASSERT_TRUE(gmtime_r(&day, &date) && std::strftime(expected, sizeof expected, "%G%V", &date) == 6);
        ASSERT_TRUE(IsoWeekOf(date) == (IsoWeek{std::atoi(expected) / 100, std::atoi(expected) % 100})) << expected;
    }
}

} // namespace
} // namespace coffer
