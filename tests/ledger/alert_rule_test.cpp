// SPDX-License-Identifier: MIT
// The alert rules' texts: each of the five forms read, with its parts, in any letter case and spacing, and
// written back in one form that reads as the same rule; texts that are almost rules refused.
#include "ledger/alert_rule.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

TEST(AlertRule, TheFiveFormsReadAndWrittenBack) {
    const auto gold = [](std::int64_t over, AlertSpan span, bool withRepairs) {
        return AlertRule{.kind = AlertKind::Gold, .over = over, .span = span, .withRepairs = withRepairs};
    };
    const std::tuple<const char*, AlertRule, const char*> cases[] = {
        {"gold withdrawn over 500g a day", gold(5'000'000, AlertSpan::Day, false), "gold withdrawn over 500g a day"},
        {"  Gold  WITHDRAWN\tover 12g 5s a week ", gold(120'500, AlertSpan::Week, false),
         "gold withdrawn over 12g 05s a week"},
        {"gold withdrawn or repaired over 75s 38c a day", gold(7538, AlertSpan::Day, true),
         "gold withdrawn or repaired over 75s 38c a day"},
        {"gold withdrawn over 1g 3c a day", gold(10'003, AlertSpan::Day, false), "gold withdrawn over 1g 03c a day"},
        {"gold withdrawn over 0g 0s 0c a day", gold(0, AlertSpan::Day, false), "gold withdrawn over 0g a day"},
        {"items withdrawn over 100 a day", {.kind = AlertKind::Items, .over = 100}, "items withdrawn over 100 a day"},
        {"items withdrawn over 20 a week from tab 03",
         {.kind = AlertKind::Items, .over = 20, .span = AlertSpan::Week, .tab = "3"},
         "items withdrawn over 20 a week from tab 3"},
        {"any withdrawal from tab 5", {.kind = AlertKind::Tab, .tab = "5"}, "any withdrawal from tab 5"},
        {"Any Withdrawal From Tab 0 By Rank 3 Or Below",
         {.kind = AlertKind::Tab, .tab = "0", .lowestRank = 3},
         "any withdrawal from tab 0 by rank 3 or below"},
        {"withdrawals with no deposit ever", {.kind = AlertKind::Newcomer}, "withdrawals with no deposit ever"},
        {"a gap opened", {.kind = AlertKind::Gap}, "a gap opened"},
    };
    for (const auto& [text, rule, written] : cases) {
        EXPECT_EQ(ParseAlertRule(text), rule) << text;
        EXPECT_EQ(AlertRuleText(rule), written) << text;
        EXPECT_EQ(ParseAlertRule(written), rule) << written;
    }
}

TEST(AlertRule, AlmostRulesAreRefused) {
    for (const char* text : {"",
                             "gold withdrawn over 500 a day",
                             "gold withdrawn over 500g",
                             "gold withdrawn 500g a day",
                             "gold withdrawn over 5s 3g a day",
                             "gold withdrawn over 100s a day",
                             "gold withdrawn over 12g 5s 5s a day",
                             "gold withdrawn over -5g a day",
                             "gold withdrawn over 100000001g a day",
                             "gold withdrawn over g a day",
                             "gold deposited over 5g a day",
                             "gold withdrawn over 5g a month",
                             "items withdrawn over 5g a day",
                             "items withdrawn over 100 a day from tab",
                             "items withdrawn over 100 a day from tab 1000",
                             "items withdrawn over 100 a day tab 3",
                             "any withdrawal",
                             "any withdrawal from tab x",
                             "any withdrawal from tab 5 by rank 3",
                             "any withdrawal from tab 5 by rank 3 or above",
                             "withdrawals with no deposit",
                             "a gap opened twice",
                             "a gap"})
        EXPECT_EQ(ParseAlertRule(text), std::nullopt) << text;
}

} // namespace
} // namespace coffer
