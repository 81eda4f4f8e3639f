// SPDX-License-Identifier: MIT
#pragma once
// Stretches of time no paste covered: the armory may have dropped entries there before anyone pasted
// them. A paste covers its smallest time to its largest, both included; a paste without times covers
// nothing. Gaps depend only on the set of pastes.

#include "ledger/ledger_store.h"
#include "ledger/local_time_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace coffer {

// Oldest first.
std::vector<TimeGap> FindGaps(const std::vector<PasteRecord>& pastes);

// The line that tells the user of a gap, both ends as local times.
std::string GapText(const TimeGap& gap);

} // namespace coffer
