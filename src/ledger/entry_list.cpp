// SPDX-License-Identifier: MIT
#include "ledger/entry_list.h"

#include "analysis/text/text_util.h"
#include "analysis/text/web_text.h"
#include "ledger/local_time_text.h"

#include <algorithm>
#include <array>

namespace coffer {
namespace {

// The start tag of `tag` in the element ("<banklog ...>"), quotes minded, or empty.
std::string_view StartTag(std::string_view element, std::string_view tag) {
    for (std::size_t at = element.find('<'); at != std::string_view::npos; at = element.find('<', at + 1)) {
        const std::size_t end = at + 1 + tag.size();
        if (end > element.size() || !EqualsNoCase(element.substr(at + 1, tag.size()), tag) ||
            (end < element.size() && !IsSpace(element[end]) && element[end] != '>' && element[end] != '/'))
            continue;
        char quote = 0;
        for (std::size_t i = end; i < element.size(); ++i) {
            if (quote != 0)
                quote = element[i] == quote ? 0 : quote;
            else if (element[i] == '"' || element[i] == '\'')
                quote = element[i];
            else if (element[i] == '>')
                return element.substr(at, i - at);
        }
        return element.substr(at);
    }
    return {};
}

// Tells `take` of each attribute of a start tag, its name and its value as written, in order, until it
// returns true.
template <typename Take> void ForEachAttribute(std::string_view tag, Take take) {
    const auto skipSpaces = [&](std::size_t at) {
        while (at < tag.size() && IsSpace(tag[at]))
            ++at;
        return at;
    };
    std::size_t at = std::min(tag.size(), tag.find_first_of(" \t\n\r\v\f")); // past the tag's name
    for (at = skipSpaces(at); at < tag.size(); at = skipSpaces(at)) {
        const std::size_t nameStart = at;
        while (at < tag.size() && !IsSpace(tag[at]) && tag[at] != '=' && tag[at] != '"' && tag[at] != '\'')
            ++at;
        const std::string_view found = tag.substr(nameStart, at - nameStart);
        at = skipSpaces(at);
        if (at < tag.size() && tag[at] == '=')
            at = skipSpaces(at + 1);
        else if (found.empty() && tag[at] != '"' && tag[at] != '\'')
            ++at; // a stray character
        if (at >= tag.size() || (tag[at] != '"' && tag[at] != '\''))
            continue;
        const std::size_t close = std::min(tag.size(), tag.find(tag[at], at + 1));
        const std::string_view value = tag.substr(at + 1, close - at - 1);
        at = close + 1;
        if (take(found, value))
            return;
    }
}

// The values of the attributes `names` (letter case ignored) in a start tag, as written; none where
// absent. The first of a name counts. One pass for them all: an entry's fields are read from a few.
template <std::size_t kCount>
std::array<std::optional<std::string_view>, kCount> Attributes(std::string_view tag,
                                                               const std::array<std::string_view, kCount>& names) {
    std::array<std::optional<std::string_view>, kCount> values;
    std::size_t left = kCount;
    ForEachAttribute(tag, [&](std::string_view found, std::string_view value) {
        for (std::size_t at = 0; at < kCount; ++at)
            if (!values[at] && EqualsNoCase(found, names[at])) {
                values[at] = value;
                --left;
                break;
            }
        return left == 0;
    });
    return values;
}

std::optional<std::string_view> Attribute(std::string_view tag, std::string_view name) {
    return Attributes<1>(tag, {name})[0];
}

std::string Cleaned(std::string_view text) {
    std::string out;
    AppendCleanText(out, text, false);
    return out;
}

std::optional<std::int64_t> TypeNumber(std::string_view type) {
    if (type.empty() || type.size() > 18 || !AllDigits(type))
        return std::nullopt;
    return std::stoll(std::string(type));
}

// A text of plain digits as a number up to kLargestAmount, or none.
std::optional<std::int64_t> Amount(std::string_view digits) {
    if (digits.empty() || !AllDigits(digits))
        return std::nullopt;
    const std::size_t significant = std::min(digits.find_first_not_of('0'), digits.size());
    if (digits.size() - significant > 13)
        return std::nullopt;
    const std::int64_t amount = significant == digits.size() ? 0 : std::stoll(std::string(digits.substr(significant)));
    return amount <= kLargestAmount ? std::optional(amount) : std::nullopt;
}

// The copper that the Gold cell shows of the money attribute, or none where it shows no amount.
std::optional<std::int64_t> Copper(std::string_view money) {
    const std::optional<std::int64_t> copper = Amount(money);
    return copper && *copper > 0 ? copper : std::nullopt;
}

// The Count cell as the element writes it: an item counts 1 without a count; no item, nothing.
std::optional<std::string_view> CountWritten(std::string_view item, std::optional<std::string_view> count) {
    return item.empty() ? std::nullopt : std::optional(count.value_or("1"));
}

std::string TwoDigits(std::uint64_t value) {
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

} // namespace

EntryFields ReadEntryFields(std::string_view element) {
    const std::string_view banklog = StartTag(element, "banklog"), item = StartTag(element, "item");
    const auto [type, player, money, dtab] = Attributes<4>(banklog, {"type", "player", "money", "dtab"});
    const auto [name, count] = Attributes<2>(item, {"name", "count"});
    EntryFields fields;
    fields.type = TypeNumber(type.value_or(""));
    fields.member = DecodeCharacterReferences(player.value_or(""));
    fields.item = DecodeCharacterReferences(name.value_or(""));
    fields.money = Copper(money.value_or(""));
    if (const std::optional<std::string_view> written = CountWritten(item, count))
        fields.itemCount = Amount(*written);
    fields.tab = Cleaned(dtab.value_or(""));
    return fields;
}

std::pair<std::string, std::string> WrittenNames(std::string_view element) {
    return {std::string(Attribute(StartTag(element, "banklog"), "player").value_or("")),
            std::string(Attribute(StartTag(element, "item"), "name").value_or(""))};
}

std::optional<std::string_view> TagAttribute(std::string_view element, std::string_view tag, std::string_view name) {
    const std::string_view start = StartTag(element, tag);
    return start.empty() ? std::nullopt : Attribute(start, name);
}

std::optional<ActionGroup> ActionGroupNamed(std::string_view word) {
    static constexpr std::pair<std::string_view, ActionGroup> kWords[] = {{"items", ActionGroup::Items},
                                                                          {"gold", ActionGroup::Gold},
                                                                          {"repairs", ActionGroup::Repairs},
                                                                          {"deposits", ActionGroup::Deposits},
                                                                          {"withdrawals", ActionGroup::Withdrawals}};
    for (const auto& [name, group] : kWords)
        if (word == name)
            return group;
    return std::nullopt;
}

bool InActionGroup(ActionGroup group, const std::optional<std::int64_t>& type) {
    const std::int64_t t = type.value_or(0);
    switch (group) {
    case ActionGroup::All:
        return true;
    case ActionGroup::Items:
        return t == 1 || t == 2;
    case ActionGroup::Gold:
        return t == 4 || t == 5 || t == 6;
    case ActionGroup::Repairs:
        return t == 6;
    case ActionGroup::Deposits:
        return t == 1 || t == 4;
    case ActionGroup::Withdrawals:
        return t == 2 || t == 5;
    }
    return false;
}

bool CountsAsMember(std::string_view name, std::string_view member) {
    return name.starts_with(member) && (name.size() == member.size() || name[member.size()] == ' ');
}

bool PassesFilter(const EntryListFilter& filter, const EntryFields& fields, const std::optional<std::int64_t>& ts) {
    if (filter.period && (!ts || *ts < 0 || !filter.period->contains(static_cast<std::uint64_t>(*ts))))
        return false;
    if ((filter.member && !CountsAsMember(fields.member, *filter.member)) ||
        (filter.item && fields.item != *filter.item))
        return false;
    if (!ContainsNoCase(fields.member, filter.search) && !ContainsNoCase(fields.item, filter.search))
        return false;
    return InActionGroup(filter.action, fields.type);
}

const std::array<std::string, kEntryColumns>& EntryCaptions() {
    static const std::array<std::string, kEntryColumns> kCaptions = {"Time",  "Member", "Rank",     "Action", "Item",
                                                                     "Count", "Gold",   "From tab", "To tab"};
    return kCaptions;
}

std::string GoldText(std::string_view money) {
    const std::optional<std::int64_t> copper = Copper(money);
    if (!copper)
        return Amount(money) ? std::string() : Cleaned(money); // 0 shows nothing
    return CopperText(static_cast<std::uint64_t>(*copper));
}

std::string GroupedNumber(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0)
            grouped += ',';
        grouped += digits[at];
    }
    return grouped;
}

std::string CopperText(std::uint64_t copper) {
    return std::to_string(copper / 10000) + "g " + TwoDigits(copper / 100 % 100) + "s " + TwoDigits(copper % 100) + "c";
}

EntryCells MakeEntryCells(std::string_view element, const std::optional<std::int64_t>& ts) {
    const std::string_view banklog = StartTag(element, "banklog"), item = StartTag(element, "item");
    const auto attribute = [](std::string_view tag, std::string_view name) {
        return Attribute(tag, name).value_or("");
    };
    static constexpr std::string_view kActions[] = {"Deposit",      "Withdrawal",      "Move",
                                                    "Gold deposit", "Gold withdrawal", "Repair"};
    const std::string_view type = attribute(banklog, "type");
    const std::optional<std::int64_t> number = TypeNumber(type);
    EntryCells cells;
    cells[kTimeColumn] = ts && *ts >= 0 ? LocalTimeText(*ts) : std::string();
    cells[kMemberColumn] = Cleaned(DecodeCharacterReferences(attribute(banklog, "player")));
    cells[kRankColumn] = Cleaned(attribute(banklog, "rank"));
    cells[kActionColumn] = number && *number >= 1 && *number <= 6 ? std::string(kActions[*number - 1]) : Cleaned(type);
    if (const std::optional<std::string_view> count = CountWritten(item, Attribute(item, "count"))) {
        cells[kItemColumn] = Cleaned(DecodeCharacterReferences(attribute(item, "name")));
        cells[kCountColumn] = Cleaned(*count);
    }
    cells[kGoldColumn] = GoldText(attribute(banklog, "money"));
    cells[kFromTabColumn] = Cleaned(attribute(banklog, "otab"));
    cells[kToTabColumn] = Cleaned(attribute(banklog, "dtab"));
    return cells;
}

} // namespace coffer
