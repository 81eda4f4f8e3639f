#include "ledger/ledger_gaps.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <vector>

namespace coffer {
namespace {

TEST(LedgerGaps, GapsAreTheStretchesNoPasteCovered) {
    struct Case {
        std::vector<std::pair<std::int64_t, std::int64_t>> pastes; // -1: no time
        std::vector<TimeGap> gaps;
    };
    const Case cases[] = {
        {{{0, 10}, {10, 20}, {15, 30}}, {}},
        {{{30, 40}, {11, 20}, {0, 10}, {-1, -1}}, {{10, 11}, {20, 30}}},
        {{{0, 100}, {20, 30}, {200, 200}}, {{100, 200}}},
    };
    for (const Case& c : cases) {
        std::vector<PasteRecord> records;
        for (const auto& [from, to] : c.pastes) {
            PasteRecord& record = records.emplace_back();
            if (from >= 0)
                record.firstTs = from, record.lastTs = to;
        }
        EXPECT_EQ(FindGaps(records), c.gaps);
    }
    // Both ends in local time to the second, the older first.
    const testing::ScopedTimeZone zone(testing::kCentralEuropeanTime);
    EXPECT_EQ(
        GapText({999, 1231000000999}),
        "Entries between 1970-01-01 01:00:00 and 2009-01-03 17:26:40 may be missing: no paste covered that time.");
}

} // namespace
} // namespace coffer
