// SPDX-License-Identifier: MIT
#include "ledger/local_time_text.h"

#include <ctime>

namespace coffer {

std::string LocalTimeText(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000); // ledger times are never negative
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace coffer
