// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace coffer {

// Transaction type codes that produce statistics.
namespace entry_type {
inline constexpr const char* kItemDeposit = "1";
inline constexpr const char* kItemWithdrawal = "2";
inline constexpr const char* kGoldDeposit = "4";
inline constexpr const char* kGoldWithdrawal = "5";
inline constexpr const char* kRepair = "6";
} // namespace entry_type

// One bank log transaction as the scanner leaves it. Every field is text, as in the log.
struct BankLogEntry {
    std::string player;
    std::string money; // copper; empty when absent or exactly money="0"
    std::string type;  // "1", "2", "4", "5", "6" produce statistics
    std::string count = "1";
    std::string quality;  // weight text "00000".."10000", or the raw index when it has no weight
    std::string itemName; // words joined by "+"; empty when the entry names no item
    std::string value;    // GGGGG.SS, set before the entry is added to the tables
    std::string itemId;   // the item database's number; empty when unknown
    // Milliseconds since 1970 UTC; empty when missing or unreadable.
    std::optional<std::uint64_t> ts;
    // How many "?xml" lines (page starts) come before the element.
    std::uint64_t page = 0;
    // Of the element's text with every run of whitespace as one space: equal texts hash alike, but
    // texts that hash alike need not be equal.
    std::uint64_t textHash = 0;
    // Where the element's lines lie in the scanned text: from the start of the first to the end of the
    // last, line break included.
    std::uint64_t textBegin = 0, textEnd = 0;
};

// Guild name and realm as the log's guild key line gives them; "Unknown" until one is read.
struct GuildIdentity {
    std::string name = "Unknown";
    std::string realm = "Unknown";
};

} // namespace coffer
