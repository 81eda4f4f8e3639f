// SPDX-License-Identifier: MIT
#include "shell/fetch_address.h"

#include "analysis/text/text_util.h"

#include <algorithm>
#include <charconv>

namespace coffer {

std::optional<std::string> FetchRecordAddress(std::string_view address) {
    const std::size_t scheme = address.find("://");
    const std::string_view name = address.substr(0, scheme);
    if (scheme == std::string_view::npos || !(EqualsNoCase(name, "http") || EqualsNoCase(name, "https")) ||
        std::ranges::any_of(address, [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; }))
        return std::nullopt;
    const std::size_t authority = scheme + 3;
    const std::size_t authorityEnd = std::min(address.find_first_of("/?#", authority), address.size());
    const std::size_t at = address.substr(0, authorityEnd).rfind('@');
    const std::size_t hostStart = at == std::string_view::npos || at < authority ? authority : at + 1;
    const std::string_view host = address.substr(hostStart, authorityEnd - hostStart);
    if (host.empty() || host.starts_with(':'))
        return std::nullopt;
    const std::string_view rest = address.substr(authorityEnd);
    return std::string(address.substr(0, authority)) + std::string(host) + std::string(rest.substr(0, rest.find('#')));
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
