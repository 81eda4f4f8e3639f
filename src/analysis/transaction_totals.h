#pragma once
// Totals per member and per item transaction: the member table (one row per member, fourteen
// columns) and the item table (one row per item deposit or withdrawal, seven columns).

#include "analysis/bank_log_entry.h"
#include "analysis/stats_table.h"

#include <string>
#include <string_view>

namespace coffer {

// Member table columns.
enum MemberColumn : int {
    kCharacter, kDeposits, kWithdrawls, kCountDifference, kDepositQuality, kWithdrawlQuality,
    kQualityDifference, kDepositValue, kWithdrawlValue, kValueDifference, kGoldDeposits, kGoldWithdrawls,
    kRepairs, kTotalValue, kMemberColumnCount
};

// Item table columns.
enum ItemColumn : int { kItem, kQuality, kQuantity, kItemValue, kItemType, kItemMember, kItemNumber, kItemColumnCount };

StatsTable MakeMemberTable();
StatsTable MakeItemTable();

inline constexpr const char* kNoValue = "00000.00";

// The item name an entry is listed and priced under: the log's "+" between words become spaces.
std::string ListedItemName(const BankLogEntry& entry);

// The value of an entry when items are not looked up: gold entries their amount in whole gold
// (halves to even; "00000.50" below 10000 copper; negative for withdrawals and repairs), everything
// else "00000.00".
std::string GoldValueOf(const BankLogEntry& entry);

// Adds one entry: updates or creates the member's row and, for item deposits and withdrawals,
// appends an item row. Entries of other types change nothing.
void AddEntry(const BankLogEntry& entry, StatsTable& members, StatsTable& items);

// After the last entry: fills the Difference columns and writes every member cell in its final
// format.
void FinishMemberTable(StatsTable& members);

// "+000012", "-000003"; the empty text gives "+000000". Longer numbers are not cut.
std::string FormatCountCell(std::string_view text);
// "+00012.05", "-00040.00"; a one-digit fraction is a count of silver ("12.5" gives "+00012.05").
std::string FormatValueCell(std::string_view text);

} // namespace coffer
