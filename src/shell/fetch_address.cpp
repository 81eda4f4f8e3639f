// SPDX-License-Identifier: MIT
#include "shell/fetch_address.h"

#include "analysis/text/shown_address.h"
#include "analysis/text/text_util.h"

#include <charconv>

namespace coffer {

std::optional<std::string> FetchRecordAddress(std::string_view address) {
    return IsWebAddress(address) ? std::optional(ShownAddress(address)) : std::nullopt;
}

std::optional<std::chrono::seconds> ReadFetchSpan(std::string_view text) {
    if (text.size() < 2 || text.size() > 12 || !AllDigits(text.substr(0, text.size() - 1)))
        return std::nullopt;
    std::int64_t count = 0;
    std::from_chars(text.data(), text.data() + text.size() - 1, count);
    const char unit = text.back();
    const std::int64_t unitSeconds = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
    const std::chrono::seconds span{count * unitSeconds};
    if (unitSeconds == 0 || span < kShortestFetchSpan || span > std::chrono::days(366))
        return std::nullopt;
    return span;
}

} // namespace coffer
