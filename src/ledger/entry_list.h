// SPDX-License-Identifier: MIT
#pragma once
// The ledger's entries as a list: what of an entry the list's filters test, the filters, and the texts
// of the list's cells. The window's list and coffer-cli's --entries both show entries through these.

#include "analysis/tables/entry_selection.h"
#include "analysis/text/text_util.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace coffer {

// What of an entry the list's filters test and its totals sum, read from its element: the type as a number
// (none when the element has no type of plain digits), the member's and the item's names with their
// character references decoded (empty when absent); the copper of the Gold cell and the number of the
// Count cell (none where the cell shows no amount: no money or 0, no item, or a text that is not a plain
// number up to kLargestAmount), and the To tab cell.
struct EntryFields {
    std::optional<std::int64_t> type;
    std::string member, item;
    std::optional<std::int64_t> money, itemCount;
    std::string tab;
};
EntryFields ReadEntryFields(std::string_view element);
// An entry's fields where they are kept, as the ledger's columns are written from them.
struct EntryFieldsView {
    std::optional<std::int64_t> type;
    std::string_view member, item;
    std::optional<std::int64_t> money, itemCount;
    std::string_view tab;
};
inline EntryFieldsView ViewOf(const EntryFields& fields) {
    return {.type = fields.type,
            .member = fields.member,
            .item = fields.item,
            .money = fields.money,
            .itemCount = fields.itemCount,
            .tab = fields.tab};
}

// The Action choice: which types an entry must have.
enum class ActionGroup { All, Items, Gold, Repairs, Deposits, Withdrawals };
// The group of a word of --action ("items", "gold", "repairs", "deposits", "withdrawals"), or none.
std::optional<ActionGroup> ActionGroupNamed(std::string_view word);
bool InActionGroup(ActionGroup group, const std::optional<std::int64_t>& type);

// Filters that apply together; an empty one keeps every entry.
struct EntryListFilter {
    std::optional<TimeRange> period = {}; // entries without a readable time are outside any period
    std::string search = {};              // in the member's or the item's name, letter case ignored for A to Z
    // The member as the member table counts them (see CountsAsMember), and the item of exactly this name;
    // both decoded.
    std::optional<std::string> member = {}, item = {};
    ActionGroup action = ActionGroup::All;
    bool operator==(const EntryListFilter&) const = default;
};
// Whether the entries of the member `name` count as `member`'s: the member table keeps a name up to its
// first space, so "Ann Lee" counts as "Ann" there, and its entries show under that row's name too.
bool CountsAsMember(std::string_view name, std::string_view member);
// Whether an entry of these fields and time passes the filter.
bool PassesFilter(const EntryListFilter& filter, const EntryFields& fields, const std::optional<std::int64_t>& ts);

// The columns of the list, in order.
enum EntryColumn {
    kTimeColumn,
    kMemberColumn,
    kRankColumn,
    kActionColumn,
    kItemColumn,
    kCountColumn,
    kGoldColumn,
    kFromTabColumn,
    kToTabColumn,
    kEntryColumns
};
const std::array<std::string, kEntryColumns>& EntryCaptions();

using EntryCells = std::array<std::string, kEntryColumns>;
// The cells of an entry: names decoded, every cell cleaned (U+FFFD for what cannot show).
EntryCells MakeEntryCells(std::string_view element, const std::optional<std::int64_t>& ts);

// The member's and the item's names as the element writes them, character references kept: what the
// addresses of their pages are built from.
std::pair<std::string, std::string> WrittenNames(std::string_view element);

// The largest amount of money, in copper, or of items that the list reads as a number.
constexpr std::int64_t kLargestAmount = 1'000'000'000'000;
// The value of the attribute `name` in the start tag of the element's first `tag`, as written; none when
// either is absent.
std::optional<std::string_view> TagAttribute(std::string_view element, std::string_view tag, std::string_view name);

// Copper as "Gg SSs CCc"; money that is not a plain number of copper up to 10^12 shows as written,
// cleaned; none or 0 is empty.
std::string GoldText(std::string_view money);
// Copper as "Gg SSs CCc", 0 included.
std::string CopperText(std::uint64_t copper);
// A whole number with thousands separators: "200,000".
std::string GroupedNumber(std::uint64_t number);

} // namespace coffer
