#pragma once
// Totals per member and per item transaction: the member table (one row per member, fourteen
// columns) and the item table (one row per item deposit or withdrawal, seven columns).

#include "analysis/bank_log_entry.h"
#include "analysis/stats_table.h"
#include "analysis/text_index.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

// Member table columns.
enum MemberColumn : int {
    kCharacter,
    kDeposits,
    kWithdrawls,
    kCountDifference,
    kDepositQuality,
    kWithdrawlQuality,
    kQualityDifference,
    kDepositValue,
    kWithdrawlValue,
    kValueDifference,
    kGoldDeposits,
    kGoldWithdrawls,
    kRepairs,
    kTotalValue,
    kMemberColumnCount
};

// Item table columns.
enum ItemColumn : int { kItem, kQuality, kQuantity, kItemValue, kItemType, kItemMember, kItemNumber, kItemColumnCount };

StatsTable MakeMemberTable();
StatsTable MakeItemTable();

inline constexpr const char* kNoValue = "00000.00";

// The item name an entry is listed and priced under: the log's "+" between words become spaces.
std::string ListedItemName(const BankLogEntry& entry);
// The same into `name`, which keeps its memory.
void ListedItemName(const BankLogEntry& entry, std::string& name);

// The value of an entry when items are not looked up: gold entries their amount in whole gold
// (halves to even; "00000.50" below 10000 copper; negative for withdrawals and repairs), everything
// else "00000.00".
std::string GoldValueOf(const BankLogEntry& entry);
// Whole gold of an amount in copper, halves to the even neighbour: 25000 copper give 2, 35000 give 4.
std::uint64_t WholeGold(std::uint64_t copper);

// The member rows while a run lasts. A cell holds its amount in hundredths, summed exactly, and is
// written as text once, at the end: far cheaper than reading and writing a text at every entry, and
// the same texts. An update whose operand is not a number, or whose result leaves the range of a
// cell, leaves the cell as it is.
class MemberTotals {
  public:
    struct Cell {
        std::int64_t hundredths = 0;
        std::string written; // a first value as the log wrote it, until a sum replaces it; else empty
    };
    struct Row {
        std::string name;
        std::array<Cell, kMemberColumnCount> cells;
    };

    // Updates the member's row, or creates it when the entry's type counts.
    void add(const BankLogEntry& entry);
    const std::vector<Row>& rows() const { return rows_; }

  private:
    std::vector<Row> rows_; // in the order of each member's first entry
    TextIndex names_;       // a member's number is the member's row
};

// Adds one entry: updates or creates the member's row and, for item deposits and withdrawals,
// appends an item row. Entries of other types change nothing.
void AddEntry(const BankLogEntry& entry, MemberTotals& members, StatsTable& items);

// After the last entry: appends every member's row to the table, the Difference columns filled and
// every cell in its final format.
void FinishMemberTable(const MemberTotals& totals, StatsTable& members);

// "+000012", "-000003"; the empty text gives "+000000". Longer numbers are not cut.
std::string FormatCountCell(std::string_view text);
// "+00012.05", "-00040.00"; a one-digit fraction is a count of silver ("12.5" gives "+00012.05").
std::string FormatValueCell(std::string_view text);

} // namespace coffer
