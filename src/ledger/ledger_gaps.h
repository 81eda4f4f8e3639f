#pragma once
// Stretches of time no paste covered: the armory may have dropped entries there before anyone pasted
// them. A paste covers its smallest time to its largest, both included; a paste without times covers
// nothing. Gaps depend only on the set of pastes.

#include "ledger/ledger_store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace coffer {

struct TimeGap {
    std::int64_t from = 0; // the older end, milliseconds since 1970 UTC
    std::int64_t to = 0;   // the newer end
    auto operator<=>(const TimeGap&) const = default;
};

// Oldest first.
std::vector<TimeGap> FindGaps(const std::vector<PasteRecord>& pastes);

// The line that tells the user of a gap, both ends as local times.
std::string GapText(const TimeGap& gap);

// A time as local "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText(std::int64_t ms);

} // namespace coffer
