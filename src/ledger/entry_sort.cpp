// SPDX-License-Identifier: MIT
#include "ledger/entry_sort.h"

#include "analysis/text/text_util.h"
#include "ledger/entry_list.h"

#include <algorithm>

namespace coffer {
namespace {

// A cell compared as a number: none first, then numbers by value (their digits past the leading zeros,
// the shorter first), then any other text in byte order.
std::string NumberKey(std::optional<std::string_view> cell) {
    if (!cell || cell->empty())
        return "0";
    if (!AllDigits(*cell))
        return "2" + std::string(*cell);
    const std::string_view digits = cell->substr(std::min(cell->size(), cell->find_first_not_of('0')));
    const std::size_t length = std::min<std::size_t>(digits.size(), 0xFFFF);
    return std::string{'1', static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)} + std::string(digits);
}

// A name: A to Z folded, then as it is.
std::string NameKey(const std::string& name) {
    return FoldedCase(name) + '\0' + name;
}

} // namespace

std::optional<EntrySort> EntrySortNamed(std::string_view word) {
    static constexpr std::pair<std::string_view, EntrySort> kWords[] = {
        {"-time", {.column = EntrySortColumn::Time, .reversed = false}},
        {"time", {.column = EntrySortColumn::Time, .reversed = true}},
        {"member", {.column = EntrySortColumn::Member, .reversed = false}},
        {"item", {.column = EntrySortColumn::Item, .reversed = false}},
        {"count", {.column = EntrySortColumn::Count, .reversed = false}},
        {"gold", {.column = EntrySortColumn::Gold, .reversed = false}}};
    for (const auto& [name, sort] : kWords)
        if (word == name)
            return sort;
    return std::nullopt;
}

std::string TooManyToSortText(EntrySortColumn column, std::uint64_t most) {
    static constexpr const char* kCaptions[] = {"Time", "Member", "Item", "Count", "Gold"};
    return "Narrow the list to " + GroupedNumber(most) + " entries or fewer to sort it by " +
           kCaptions[static_cast<int>(column)] + ".";
}

std::string SortKey(EntrySortColumn column, std::string_view element) {
    switch (column) {
    case EntrySortColumn::Member:
        return NameKey(ReadEntryFields(element).member);
    case EntrySortColumn::Item:
        return NameKey(ReadEntryFields(element).item);
    case EntrySortColumn::Count: // as the cell shows it: an item without a count is one
        return NumberKey(MakeEntryCells(element, std::nullopt)[kCountColumn]);
    case EntrySortColumn::Gold: { // no money and none at all show alike, an empty cell
        const std::optional<std::string_view> money = TagAttribute(element, "banklog", "money");
        return NumberKey(money && money->find_first_not_of('0') == std::string_view::npos ? std::nullopt : money);
    }
    case EntrySortColumn::Time:
        break;
    }
    return {};
}

} // namespace coffer
