// SPDX-License-Identifier: MIT
#include "ledger/alert_rule.h"

#include "analysis/text/text_util.h"
#include "ledger/entry_list.h"

#include <array>
#include <charconv>
#include <span>
#include <vector>

namespace coffer {

const char* const kAlertRuleForms = "gold withdrawn over 500g a day (or a week; \"gold withdrawn or repaired\" "
                                    "counts repairs too)\n"
                                    "items withdrawn over 100 a day (or a week), optionally \"from tab 3\"\n"
                                    "any withdrawal from tab 5, optionally \"by rank 3 or below\"\n"
                                    "withdrawals with no deposit ever\n"
                                    "a gap opened\n";

namespace {

using Words = std::span<const std::string>;

std::vector<std::string> LowerWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (IsSpace(c)) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else
            word += FoldCase(c);
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

// Digits only, up to `largest`.
std::optional<std::int64_t> Number(std::string_view word, std::int64_t largest) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || word.front() == '-' || error != std::errc() || end != word.data() + word.size() ||
        value > largest)
        return std::nullopt;
    return value;
}

// Whether the words start with these, which are then taken off.
bool Take(Words& words, std::initializer_list<std::string_view> expected) {
    if (words.size() < expected.size())
        return false;
    std::size_t at = 0;
    for (const std::string_view word : expected)
        if (words[at++] != word)
            return false;
    words = words.subspan(expected.size());
    return true;
}

// Money as the list writes it: "500g", "12g 50s", "75s 38c", "1g 2s 3c"; the parts in that order,
// silver and copper below 100.
std::optional<std::int64_t> TakeMoney(Words& words) {
    static constexpr std::array<std::pair<char, std::int64_t>, 3> kParts{{{'g', 10000}, {'s', 100}, {'c', 1}}};
    std::int64_t copper = 0;
    std::size_t part = 0, taken = 0;
    while (taken < words.size() && part < kParts.size()) {
        const std::string_view word = words[taken];
        while (part < kParts.size() && (word.empty() || word.back() != kParts[part].first))
            ++part;
        if (part == kParts.size())
            break;
        const std::int64_t unit = kParts[part].second;
        const std::optional<std::int64_t> value =
            Number(word.substr(0, word.size() - 1), unit == 10000 ? kLargestAmount / 10000 : 99);
        if (!value)
            return std::nullopt;
        copper += *value * unit;
        ++part;
        ++taken;
    }
    if (taken == 0 || copper > kLargestAmount)
        return std::nullopt;
    words = words.subspan(taken);
    return copper;
}

std::optional<AlertSpan> TakeSpan(Words& words) {
    if (Take(words, {"a", "day"}))
        return AlertSpan::Day;
    if (Take(words, {"a", "week"}))
        return AlertSpan::Week;
    return std::nullopt;
}

std::optional<std::string> TakeTab(Words& words) {
    if (words.size() < 3 || !Take(words, {"from", "tab"}))
        return std::nullopt;
    const std::optional<std::int64_t> tab = Number(words[0], kLargestTabOrRank);
    if (!tab)
        return std::nullopt;
    words = words.subspan(1);
    return std::to_string(*tab); // "03" is tab 3
}

std::optional<AlertRule> ParseWords(Words words) {
    AlertRule rule;
    if (Take(words, {"gold", "withdrawn"})) {
        rule.kind = AlertKind::Gold;
        rule.withRepairs = Take(words, {"or", "repaired"});
        const std::optional<std::int64_t> over = Take(words, {"over"}) ? TakeMoney(words) : std::nullopt;
        const std::optional<AlertSpan> span = over ? TakeSpan(words) : std::nullopt;
        if (!span)
            return std::nullopt;
        rule.over = *over;
        rule.span = *span;
    } else if (Take(words, {"items", "withdrawn", "over"})) {
        rule.kind = AlertKind::Items;
        const std::optional<std::int64_t> over = words.empty() ? std::nullopt : Number(words[0], kLargestAmount);
        if (!over)
            return std::nullopt;
        words = words.subspan(1);
        const std::optional<AlertSpan> span = TakeSpan(words);
        if (!span)
            return std::nullopt;
        rule.over = *over;
        rule.span = *span;
        if (!words.empty()) {
            const std::optional<std::string> tab = TakeTab(words);
            if (!tab)
                return std::nullopt;
            rule.tab = *tab;
        }
    } else if (Take(words, {"any", "withdrawal"})) {
        rule.kind = AlertKind::Tab;
        const std::optional<std::string> tab = TakeTab(words);
        if (!tab)
            return std::nullopt;
        rule.tab = *tab;
        if (Take(words, {"by", "rank"})) {
            const std::optional<std::int64_t> rank = words.empty() ? std::nullopt : Number(words[0], kLargestTabOrRank);
            if (!rank)
                return std::nullopt;
            words = words.subspan(1);
            if (!Take(words, {"or", "below"}))
                return std::nullopt;
            rule.lowestRank = *rank;
        }
    } else if (Take(words, {"withdrawals", "with", "no", "deposit", "ever"})) {
        rule.kind = AlertKind::Newcomer;
    } else if (Take(words, {"a", "gap", "opened"})) {
        rule.kind = AlertKind::Gap;
    } else
        return std::nullopt;
    return words.empty() ? std::optional(rule) : std::nullopt;
}

std::string MoneyText(std::int64_t copper) {
    const std::int64_t parts[] = {copper / 10000, copper / 100 % 100, copper % 100};
    static constexpr char kUnits[] = {'g', 's', 'c'};
    std::string text;
    for (std::size_t part = 0; part < 3; ++part) {
        if (parts[part] == 0)
            continue;
        if (!text.empty())
            text += ' ';
        const std::string digits = std::to_string(parts[part]);
        text += (text.empty() || digits.size() == 2 ? digits : "0" + digits) + kUnits[part];
    }
    return text.empty() ? "0g" : text;
}

std::string SpanText(AlertSpan span) {
    return span == AlertSpan::Day ? " a day" : " a week";
}

} // namespace

std::optional<AlertRule> ParseAlertRule(std::string_view text) {
    const std::vector<std::string> words = LowerWords(text);
    return ParseWords(words);
}

std::string AlertRuleText(const AlertRule& rule) {
    switch (rule.kind) {
    case AlertKind::Gold:
        return std::string("gold withdrawn ") + (rule.withRepairs ? "or repaired " : "") + "over " +
               MoneyText(rule.over) + SpanText(rule.span);
    case AlertKind::Items:
        return "items withdrawn over " + std::to_string(rule.over) + SpanText(rule.span) +
               (rule.tab.empty() ? "" : " from tab " + rule.tab);
    case AlertKind::Tab:
        return "any withdrawal from tab " + rule.tab +
               (rule.lowestRank ? " by rank " + std::to_string(*rule.lowestRank) + " or below" : "");
    case AlertKind::Newcomer:
        return "withdrawals with no deposit ever";
    case AlertKind::Gap:
        break;
    }
    return "a gap opened";
}

} // namespace coffer
