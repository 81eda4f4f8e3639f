// SPDX-License-Identifier: MIT
#pragma once
// What the rows of the entries list add up to: the sums the ledger reads with the list's own filter, and
// the line that shows them under the list and after `coffer-cli --entries`.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

// The sums of the Count and Gold cells of the rows of the entries list: items deposited and withdrawn, and
// the copper of gold deposits, gold withdrawals and repairs. Moves, and entries of other types, count in
// none.
struct ListTotals {
    std::int64_t itemsDeposited = 0, itemsWithdrawn = 0;
    std::int64_t goldDeposited = 0, goldWithdrawn = 0, repairs = 0;
    bool operator==(const ListTotals&) const = default;
};
// What each sum of ListTotals adds up: the item counts or the money of the entries of one type; `column`
// names the sum where a ledger keeps it per hour.
struct ListSum {
    std::int64_t ListTotals::*sum;
    std::int64_t type;
    bool money;
    const char* column;
};
inline constexpr ListSum kListSums[] = {{&ListTotals::itemsDeposited, 1, false, "items_deposited"},
                                        {&ListTotals::itemsWithdrawn, 2, false, "items_withdrawn"},
                                        {&ListTotals::goldDeposited, 4, true, "gold_deposited"},
                                        {&ListTotals::goldWithdrawn, 5, true, "gold_withdrawn"},
                                        {&ListTotals::repairs, 6, true, "repairs"}};
// The copies of some entries with what they add to the totals.
struct CountedTotals {
    std::uint64_t copies = 0;
    ListTotals sums;
    bool operator==(const CountedTotals&) const = default;
};
// The roles a ledger keeps each name's sums for: the entries whose member it is, and those whose item it is.
inline constexpr const char* kNameRoles[] = {"member", "item"};
// The columns of entry_name that keep a name's sums in `role`: its copies, then the sums of kListSums.
std::vector<std::string> NameSumColumns(std::string_view role);
// The copies and sums as numbers in the order of those columns (and of entry_hours'): the copies, then the
// sums of kListSums. A change may take copies away: the copies wrap as the ledger's do.
inline constexpr std::size_t kCountedValues = 1 + std::size(kListSums);
std::array<std::int64_t, kCountedValues> CountedValues(const CountedTotals& counted);
// Adds to `totals` what an entry of this type and these amounts adds to each sum, `copies` times (fewer
// than none takes them out); false, the totals left in part, where a sum would leave 64 bits.
[[nodiscard]] bool AddToTotals(ListTotals& totals, const std::optional<std::int64_t>& type,
                               const std::optional<std::int64_t>& money, const std::optional<std::int64_t>& itemCount,
                               std::int64_t copies);
// Adds `more` to `totals`, each sum to its own; false where a sum would leave 64 bits.
[[nodiscard]] bool AddTotals(ListTotals& totals, const ListTotals& more);
// Why a ledger's totals cannot be shown: a sum leaves 64 bits, which no ledger of real pastes comes near.
inline constexpr const char* kTotalsTooLargeReason = "the totals of the listed entries are too large to show";

// "Items: 1,234 deposited, 56 withdrawn; gold: 1g 93s 52c deposited, 12g 00s 00c withdrawn, 0g 03s 10c
// repaired; net -10g 09s 58c": the money as the list's Gold cells write it, the net gold being the
// deposits less the withdrawals and the repairs.
std::string ListTotalsText(const ListTotals& totals);

} // namespace coffer
