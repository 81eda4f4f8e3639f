// SPDX-License-Identifier: MIT
#pragma once
// Totals per member and per item transaction: the member table (one row per member, fourteen
// columns) and the item table (one row per item deposit or withdrawal, seven columns).

#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/cell_number.h"
#include "analysis/tables/huge_page_allocator.h"
#include "analysis/tables/stats_table.h"
#include "analysis/tables/text_index.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace coffer {

// Member table columns.
enum MemberColumn : int {
    kCharacter,
    kDeposits,
    kWithdrawals,
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

// Names longer than this are cut to it in the tables (at a character boundary), once entries have been
// told apart by their whole names: a name of megabytes would otherwise be copied into every row and
// report section that shows it. Two long names that begin alike stay two rows.
inline constexpr std::size_t kMaxNameBytes = 1024;

// A name as the tables show it: at most kMaxNameBytes of it, never part of a UTF-8 character.
std::string_view CutName(std::string_view name);

// The item name an entry is listed and priced under: the log's "+" between words become spaces.
std::string ListedItemName(const BankLogEntry& entry);
// The same into `name`, which keeps its memory.
void ListedItemName(const BankLogEntry& entry, std::string& name);

// Money beyond this many copper, a hundred million gold (far above anything the game allows), cannot
// be read: it moves nothing, and a run counts it as left out.
inline constexpr std::int64_t kMaxCopper = 1'000'000'000'000;

// Whether the entry moves gold (deposit, withdrawal or repair).
bool IsGoldEntry(const BankLogEntry& entry);
// The copper of a money text; none when it is not a whole number or its magnitude is beyond kMaxCopper.
std::optional<std::int64_t> ReadableCopper(std::string_view money);
// Whether the entry moves gold by a whole number of copper that is beyond kMaxCopper.
bool MoneyBeyondReading(const BankLogEntry& entry);

// The value of an entry when items are not looked up: gold entries their amount in whole gold
// (halves to even; "00000.50" below 10000 copper; negative for withdrawals and repairs), everything
// else "00000.00".
std::string GoldValueOf(const BankLogEntry& entry);
// Whole gold of an amount in copper, halves to the even neighbour: 25000 copper give 2, 35000 give 4.
WideAmount WholeGold(WideAmount copper);

// The member rows while a run lasts. A cell holds its amount in hundredths, summed exactly, and is
// written as text once, at the end: far cheaper than reading and writing a text at every entry, and
// the same texts. An update whose operand is not a number leaves the cell as it is; an amount that does
// not fit 64 bits (or money beyond kMaxCopper) is left out and counted. A row holds only the columns
// that are summed, each in 64 bits: the others follow from them when the table is made. A row whose sum
// would leave 64 bits goes on in 128 bits, which no sum of such amounts leaves.
class MemberTotals {
  public:
    // The summed columns, in the order a row holds them.
    static constexpr std::array<MemberColumn, 9> kSummed = {kDeposits,         kWithdrawals,    kDepositQuality,
                                                            kWithdrawlQuality, kDepositValue,   kWithdrawlValue,
                                                            kGoldDeposits,     kGoldWithdrawls, kRepairs};
    using WideSums = std::array<WideAmount, kSummed.size()>;

    struct Row {
        std::array<std::int64_t, kSummed.size()> sums{};
        // The member's first value as the log wrote it (its number among the first values), which the
        // cells of `written` (a bit per column) show until a sum replaces it: one text a row, not a
        // string in every cell, keeps a row small for guilds of many members.
        std::uint32_t firstValue = 0;
        std::uint16_t written = 0;
        bool wide = false; // the sums are the row's WideSums
    };

    // Updates the member's row, or creates it when the entry's type counts.
    void add(const BankLogEntry& entry);
    // Each row's member as the table shows it (CutName), in the order of the rows; the totals then know
    // no names.
    TextIndex takeNames();
    // Amounts of the entries added so far that were too large to be read, and so not counted.
    std::uint64_t leftOut() const { return leftOut_; }
    // CutName(name), counted when cut.
    std::string_view shown(std::string_view name);
    std::uint64_t cutNames() const { return cutNames_; }

    struct Amounts;

  private:
    friend void FinishMemberTable(MemberTotals&& totals, StatsTable& members);
    // Adds the amount to the row's cell of a summed column (its place in kSummed).
    void add(Row& row, std::uint32_t number, std::size_t place, std::int64_t amount);
    void update(const Amounts& amounts, Row& row, std::uint32_t number);
    // The row's sums in 128 bits.
    WideSums sumsOf(const Row& row, std::uint32_t number) const;

    // In the order of each member's first entry, in blocks of two huge pages (the first grows to that). Rows are added
    // without a copy of those before (a vector would hold every row twice each time it grew), and each block goes back
    // to the system as soon as the table has taken its rows.
    using RowBlock = std::vector<Row, HugePageAllocator<Row>>;
    static constexpr std::size_t kBlockRows = 2 * huge_pages::kPageSize / sizeof(Row);
    std::vector<RowBlock> rows_;
    std::uint32_t rowCount_ = 0;
    // The rows whose sums left 64 bits, by their number: only crafted logs have any.
    std::unordered_map<std::uint32_t, WideSums> wide_;
    TextIndex names_; // a member's number is the member's row
    TextIndex firstValues_;
    std::uint64_t leftOut_ = 0;
    std::uint64_t cutNames_ = 0;
};

// Adds one entry: updates or creates the member's row and, for item deposits and withdrawals,
// appends an item row. Entries of other types change nothing.
void AddEntry(const BankLogEntry& entry, MemberTotals& members, StatsTable& items);

// After the last entry: fills the member table, which has no rows yet, with every member's row, the
// Difference columns filled and every cell in its final format. The names move from the totals to the
// table whole, so that they are never held twice.
void FinishMemberTable(MemberTotals&& totals, StatsTable& members);

// "+000012", "-000003"; the empty text gives "+000000". Longer numbers are not cut.
std::string FormatCountCell(std::string_view text);
// "+00012.05", "-00040.00"; a one-digit fraction is a count of silver ("12.5" gives "+00012.05").
std::string FormatValueCell(std::string_view text);

} // namespace coffer
