// SPDX-License-Identifier: MIT
#include "ledger/ledger_gaps.h"

#include <algorithm>

namespace coffer {

std::vector<TimeGap> FindGaps(const std::vector<PasteRecord>& pastes) {
    std::vector<TimeGap> covered;
    for (const PasteRecord& paste : pastes)
        if (paste.firstTs && paste.lastTs)
            covered.push_back({*paste.firstTs, *paste.lastTs});
    std::ranges::sort(covered);
    std::vector<TimeGap> gaps;
    for (std::size_t i = 0; i < covered.size();) {
        std::int64_t end = covered[i].to;
        for (++i; i < covered.size() && covered[i].from <= end; ++i)
            end = std::max(end, covered[i].to);
        if (i < covered.size())
            gaps.push_back({end, covered[i].from});
    }
    return gaps;
}

std::string GapText(const TimeGap& gap) {
    return "Entries between " + LocalTimeText(gap.from) + " and " + LocalTimeText(gap.to) +
           " may be missing: no paste covered that time.";
}

} // namespace coffer
