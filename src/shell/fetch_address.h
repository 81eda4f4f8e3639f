// SPDX-License-Identifier: MIT
#pragma once
// What `coffer-cli --fetch` takes from the user: the page's address and the span between fetches.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace coffer {

// The address as a paste record and the fetch's lines name it, as ShownAddress shows it; nothing for an
// address that a fetch does not take (anything but what IsWebAddress reads).
std::optional<std::string> FetchRecordAddress(std::string_view address);

// A span of whole seconds, minutes, hours or days ("30s", "15m", "2h", "1d"), at least 10 s and at most
// 366 days; nothing for anything else.
constexpr std::chrono::seconds kShortestFetchSpan{10};
std::optional<std::chrono::seconds> ReadFetchSpan(std::string_view text);

} // namespace coffer
