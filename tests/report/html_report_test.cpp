// SPDX-License-Identifier: MIT
#include "report/html_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace coffer {
namespace {
using ::testing::HasSubstr, ::testing::Not;

struct Member {
    std::string name;
    std::string deposits = "+000000", withdrawls = "+000000", goldDeposits = "+00000.00", goldWithdrawls = "+00000.00",
                total = "+00000.00";
};

GuildStats Stats(const std::vector<Member>& members) {
    GuildStats stats;
    stats.guild = {.name = "Iron Lanterns", .realm = "Silver Hand"};
    for (const Member& m : members) {
        std::vector<std::string> row(kMemberColumnCount, "+000000");
        for (int c = kDepositValue; c < kMemberColumnCount; ++c)
            row[static_cast<std::size_t>(c)] = "+00000.00";
        row[kCharacter] = m.name;
        row[kDeposits] = m.deposits;
        row[kWithdrawals] = m.withdrawls;
        row[kGoldDeposits] = m.goldDeposits;
        row[kGoldWithdrawls] = m.goldWithdrawls;
        row[kTotalValue] = m.total;
        stats.members.appendRow(row);
    }
    return stats;
}

ReportSettings Settings() {
    return {.armoryBase = "http://armory.test",
            .itemDatabaseBase = "http://www.items.test",
            .programName = "Coffer",
            .website = "coffer.test",
            .createdOn = "DATE"};
}

// The report sorts the tables it is given: this one sorts a copy.
std::string Report(GuildStats stats) {
    return BuildReport(stats, Settings());
}

// The text of one section: from its title to the next heading.
std::string Section(const std::string& document, const std::string& title) {
    const std::size_t start = document.find(title + "</");
    if (start == std::string::npos)
        return "<no section " + title + ">";
    const std::size_t bodyStart = document.find("<BR>", start);
    std::size_t end = document.size();
    for (const char* next : {"<font color=", "<BR><BR><b><font", "<BR><BR><font", "</body>"})
        end = std::min(end, document.find(next, bodyStart + 4));
    return document.substr(bodyStart, end - bodyStart);
}

// The member names a section lists, in order: every row ends with the member's link.
std::vector<std::string> Listed(const std::string& section) {
    std::vector<std::string> names;
    for (std::size_t end = section.find("</a><BR>"); end != std::string::npos;
         end = section.find("</a><BR>", end + 1)) {
        const std::size_t start = section.rfind("'>", end) + 2;
        names.push_back(section.substr(start, end - start));
    }
    return names;
}

// Even when no member's total is negative.
TEST(HtmlReport, PositiveTotalsListLargestFirst) {
    const std::vector<Member> members = {{"Small", "+000001", "+000000", "+00001.00", "+00000.00", "+00001.00"},
                                         {"Big", "+000001", "+000000", "+00090.00", "+00000.00", "+00090.00"},
                                         {"Mid", "+000001", "+000000", "+00020.00", "+00000.00", "+00020.00"}};
    EXPECT_EQ(Listed(Section(Report(Stats(members)), "Members with positive overall values")),
              (std::vector<std::string>{"Big", "Mid", "Small"}));
}

TEST(HtmlReport, NinjaListHoldsMembersWhoOnlyTook) {
    const std::pair<std::vector<Member>, std::vector<std::string>> cases[] = {
        {{{"Ninja", "+000000", "+000002", "+00000.00", "-00050.00", "-00050.00"},
          {"Zero", "+000000", "+000001", "+00000.00", "+00000.00", "+00000.00"},
          {"GoldGiver", "+000000", "+000001", "+00010.00", "-00050.00", "-00040.00"}},
         {"Ninja"}},
        {{{"Zero", "+000000", "+000001"}}, {}},
    };
    for (const auto& [members, listed] : cases) {
        const std::string section = Section(Report(Stats(members)), "NINJA LIST");
        EXPECT_EQ(Listed(section), listed);
        EXPECT_EQ(section.ends_with("None found (congratulations!)"), listed.empty());
    }
}

TEST(HtmlReport, ItemSectionsFallBackToQuality) {
    GuildStats stats = Stats({{"Ann", "+000001"}});
    stats.items.appendRow({"Frost Lotus", "00050", "1", "00000.00", "Deposit", "Ann", ""});
    stats.items.appendRow({"Iron Bar", "00010", "4", "00000.00", "Deposit", "Ann", "123"});
    stats.items.appendRow({"Rag", "00000", "4", "00000.00", "Withdrawal", "Ann", ""});
    std::string doc = BuildReport(stats, Settings());
    EXPECT_THAT(Section(doc, "Most Valuable Items Deposited"),
                HasSubstr("type1.gif'><a href='http://www.items.test/?item=123'>Iron Bar</a> 00010 quality"));
    EXPECT_EQ(Section(doc, "Most Valuable Items Withdrawn"), "<BR>None found");

    // With values, the value sections stand and no fallback is tried.
    stats.items.appendRow({"Gem", "00100", "1", "00012.05", "Withdrawal", "Ann", "9"});
    doc = BuildReport(stats, Settings());
    EXPECT_THAT(Section(doc, "Most Valuable Items Withdrawn"),
                HasSubstr("type2.gif'><a href='http://www.items.test/?item=9'>Gem</a> 00012.05 gold - "));
    EXPECT_THAT(Section(doc, "Most Valuable Items Withdrawn"), Not(HasSubstr("quality")));
}

TEST(HtmlReport, NamesCannotBreakTheDocument) {
    GuildStats stats = Stats({{"<b>Bad'\"&Name", "+000001"}});
    stats.guild = {.name = "</title><script>x()</script>", .realm = "Realm & 'Co'"};
    stats.items.appendRow({"Salt &amp; <Pepper>", "00001", "1", "00001.00", "Deposit", "<b>Bad'\"&Name", ""});
    const std::string doc = BuildReport(stats, Settings());
    EXPECT_THAT(doc, Not(HasSubstr("<script>")));
    EXPECT_THAT(doc, Not(HasSubstr("<b>Bad")));
    EXPECT_THAT(doc, HasSubstr("<Title>Guild Bank Report for &lt;/title&gt;&lt;script&gt;x()&lt;/script&gt;</title>"));
    EXPECT_THAT(doc, HasSubstr("on the Realm &amp; &#39;Co&#39; server"));
    EXPECT_THAT(doc, HasSubstr("character-sheet.xml?n=%3Cb%3EBad%27%22%26Name&r=Realm+%26+%27Co%27'>"
                               "&lt;b&gt;Bad&#39;&quot;&amp;Name</a>"));
    EXPECT_THAT(doc, HasSubstr("/?search=Salt+%26+%3CPepper%3E'>Salt &amp; &lt;Pepper&gt;</a>"));

    // The sites' addresses are escaped like any other text, wherever they stand.
    ReportSettings settings = Settings();
    settings.itemDatabaseBase = "http://db.example/a'b";
    settings.armoryBase = "http://armory.example/<c>";
    const std::string escaped = BuildReport(stats, settings);
    EXPECT_THAT(escaped, HasSubstr("<script src='http://db.example/a&#39;b/widgets/power.js'>"));
    EXPECT_THAT(escaped, HasSubstr("<a href='http://db.example/a&#39;b/?search="));
    EXPECT_THAT(escaped, HasSubstr("<img src='http://armory.example/&lt;c&gt;/images/"));
    EXPECT_THAT(escaped, Not(HasSubstr("a'b")));
    EXPECT_THAT(escaped, Not(HasSubstr("<c>")));
}

TEST(HtmlReport, BalancesAndNumbersBeyondSixteenAndSixtyFourBits) {
    const std::string doc = Report(
        Stats({{"Rich", "+000001", "+000000", "+40000.00", "+00000.00", "+40000.00"},
               {"Richer", "+000001", "+000000", "+40000.49", "-00000.50", "+39999.99"},
               {"Most", "+000001", "+000000", "+9300000000000000000.00", "+00000.00", "+9300000000000000000.00"}}));
    EXPECT_THAT(doc, HasSubstr("Gold Balance: 9300000000000080000<BR>Overall Balance: 9300000000000080000<BR><BR>"));
    EXPECT_THAT(Section(doc, "Highest Gold Deposits"), HasSubstr("type4.gif'>9300000000000000000 total gold deposits"));
}

TEST(HtmlReport, SectionLimitsAreWholeNumbersFromZeroTo32767) {
    using Fault = SectionLimit::Fault;
    const struct {
        const char* text;
        int value;
        Fault fault;
    } cases[] = {{"10", 10, Fault::None},       {"7.5", 8, Fault::None},
                 {"6.5", 6, Fault::None},       {"-0.5", 0, Fault::None},
                 {"32767", 32767, Fault::None}, {"32768", 0, Fault::OutOfRange},
                 {"-1", 0, Fault::OutOfRange},  {"100000000000000000000", 0, Fault::OutOfRange},
                 {"", 0, Fault::NotANumber},    {"1e2", 0, Fault::NotANumber}};
    for (const auto& c : cases) {
        const SectionLimit limit = ParseSectionLimit(c.text);
        EXPECT_EQ(std::pair(limit.value, limit.fault), std::pair(c.value, c.fault)) << c.text;
    }
}

} // namespace
} // namespace coffer
