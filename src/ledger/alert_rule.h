// SPDX-License-Identifier: MIT
#pragma once
// The rules an officer sets for the ledger to keep watch by, in their text form, as coffer-cli takes them
// and every alert line names them:
//   gold withdrawn over 500g a day              (or a week; "gold withdrawn or repaired" counts repairs)
//   items withdrawn over 100 a day from tab 3   (or a week; the tab is optional)
//   any withdrawal from tab 5 by rank 3 or below  (the rank is optional)
//   withdrawals with no deposit ever
//   a gap opened
// Words may be in any letter case and apart by any blanks; amounts of money are written as the entries
// list writes them (500g, 12g 50s, 75s 38c).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace coffer {

enum class AlertKind { Gold, Items, Tab, Newcomer, Gap };
enum class AlertSpan { Day, Week }; // a day or an ISO week of the rule's time zone

struct AlertRule {
    AlertKind kind = AlertKind::Gap;
    std::int64_t over = 0; // copper (Gold) or items (Items) that one member's withdrawals go over
    AlertSpan span = AlertSpan::Day;
    bool withRepairs = false;                 // Gold: repairs count as gold withdrawn
    std::string tab{};                        // Items: only this tab's withdrawals ("" any); Tab: the tab
    std::optional<std::int64_t> lowestRank{}; // Tab: only members of this rank number or higher (0: guild master)
    bool operator==(const AlertRule&) const = default;
};

// The largest tab and rank numbers a rule takes: more than any guild bank has.
inline constexpr std::int64_t kLargestTabOrRank = 999;

// The rule the text writes, or none when it is none of the five forms.
std::optional<AlertRule> ParseAlertRule(std::string_view text);
// The rule in its text form, as ParseAlertRule reads it back: lower case, one space apart, money with its
// parts as the list writes them ("12g 05s"), without the parts that are 0 ("500g"; none at all: "0g").
std::string AlertRuleText(const AlertRule& rule);
// What a text that is not a rule is told: the five forms, one per line.
extern const char* const kAlertRuleForms;

} // namespace coffer
