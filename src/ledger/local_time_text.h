// SPDX-License-Identifier: MIT
#pragma once
// A ledger's times as the lines and lists show them.

#include <cstdint>
#include <string>

namespace coffer {

// A time (milliseconds since 1970 UTC) as local "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText(std::int64_t ms);

} // namespace coffer
