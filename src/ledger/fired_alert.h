// SPDX-License-Identifier: MIT
#pragma once
// An alert a rule of the ledger fired, as every add tells it and the ledger keeps it.

#include <cstdint>
#include <string>

namespace coffer {

struct FiredAlert {
    std::int64_t rule = 0; // the rule's number
    std::string member;    // the member it names; empty for a gap
    // The day ("2008-12-03") or ISO week ("2008-W49") it counts, in the rule's zone: of a withdrawal from a
    // tab its day, of a newcomer the day of the add that found it, of a gap the day it starts.
    std::string day;
    std::string line;       // what is told after "ALERT ", exactly
    std::int64_t firedAt{}; // milliseconds since 1970 UTC: when the add that fired it began
    bool operator==(const FiredAlert&) const = default;
};

} // namespace coffer
