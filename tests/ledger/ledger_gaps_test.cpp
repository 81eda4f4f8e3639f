// SPDX-License-Identifier: MIT
#include "ledger/ledger_gaps.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

TEST(LedgerGaps, GapsAreTheStretchesNoPasteCovered) {
    // Each paste's first and last time (-1: none), and the gaps.
    const std::pair<std::vector<std::pair<std::int64_t, std::int64_t>>, std::vector<TimeGap>> cases[] = {
        {{{0, 10}, {10, 20}, {15, 30}}, {}},
        {{{30, 40}, {11, 20}, {0, 10}, {-1, -1}}, {{10, 11}, {20, 30}}},
        {{{0, 100}, {20, 30}, {200, 200}}, {{100, 200}}},
    };
    for (const auto& [pastes, gaps] : cases) {
        std::vector<PasteRecord> records;
        for (const auto& [from, to] : pastes) {
            PasteRecord& record = records.emplace_back();
            if (from >= 0)
                record.firstTs = from, record.lastTs = to;
        }
        EXPECT_EQ(FindGaps(records), gaps);
    }
    // Both ends in local time to the second, the older first.
    const testing::ScopedTimeZone zone(testing::kCentralEuropeanTime);
    EXPECT_EQ(
        GapText({999, 1231000000999}),
        "Entries between 1970-01-01 01:00:00 and 2009-01-03 17:26:40 may be missing: no paste covered that time.");
}

} // namespace
} // namespace coffer
