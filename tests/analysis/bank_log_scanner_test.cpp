// SPDX-License-Identifier: MIT
#include "analysis/scan/bank_log_scanner.h"
#include "analysis/tables/entry_selection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <tuple>
#include <vector>

namespace coffer {
namespace {

struct Scan {
    GuildIdentity guild;
    std::vector<BankLogEntry> entries;
};

Scan ScanText(const std::string& text) {
    std::istringstream in(text);
    LineReader lines(in);
    Scan scan;
    ScanBankLog(lines, scan.guild,
                [&](BankLogEntry& e) {
                    scan.entries.push_back(e);
                    e.value = e.itemId = "set by the handler"; // as the totals do: the next entry must not see it
                },
                {});
    return scan;
}

struct EntryCase {
    const char* what;
    std::string text;
    std::string player, money, type, count, quality, itemName;
};

TEST(BankLogScanner, TurnsEachElementIntoOneEntryWithCleanedFields) {
    const EntryCase cases[] = {
        {"item deposit over two lines; the item's own type=\"7\"/> is too long without money",
         "<banklog money=\"0\" player=\"Ann\" type=\"1\">\n  <item count=\"20\" name=\"Iron Nails\" qi=\"1\" "
         "type=\"7\"/>",
         "Ann", "", "1", "20", "00001", "Iron+Nails"},
        {"gold deposit on one line: with money a 10-character type token counts",
         "<banklog money=\"2500000\" player=\"Bob\" type=\"4\"/>", "Bob", "2500000", "4", "1", "", ""},
        {"money=\"0\" empties money, so a 10-character type token is not taken",
         "<banklog money=\"0\" player=\"Cy\" type=\"4\"/>", "Cy", "", "", "1", "", ""},
        {"without money a type token glued to the next line's text is not taken",
         "<banklog money=\"0\" player=\"Di\" type=\"2\">\n<item count=\"3\" name=\"Gem\" qi=\"3\" x=\"1\"/>", "Di", "",
         "", "3", "00050", "Gem"},
        {"the closing slash stays in the last quality and name tokens, only type loses it",
         "<banklog money=\"7\" player=\"Ed\" type=\"2\" qi=\"1\"/>", "Ed", "7", "2", "1", "1/", ""},
        {"the name's last token keeps the slash of a self-closing element",
         "<banklog money=\"7\" player=\"Fay\" type=\"1\" name=\"Red Rose\"/>", "Fay", "7", "1", "1", "", "Red+Rose/"},
        {"quality outside the table stays as it is; a missing one stays empty",
         "<banklog player=\"Gus\" type=\"1\">\n <item name=\"Odd\" qi=\"7\" slot=\"1\"/>", "Gus", "", "1", "1", "7",
         "Odd"},
        {"keys are found regardless of letter case, but TYPE= is not a type",
         "<BANKLOG PLAYER=\"Hal\" TYPE=\"1\">\n <ITEM QI=\"6\" NAME=\"Ore\" X=\"1\"/>", "Hal", "", "", "1", "10000",
         "Ore"},
        {"the last of several matching tokens wins", "<banklog player=\"A\" player=\"B\" count=\"2\" count=\"9\" />",
         "B", "", "", "9", "", ""},
        {"a name whose quote never closes runs to the element's last token",
         "<banklog money=\"5\" player=\"Ivy\" type=\"1\" name=\"Never Closed", "Ivy", "5", "1", "1", "",
         "Never+Closed"},
        {"several spaces inside a name keep their count", "<banklog name=\"Big  Axe\" player=\"Jo\" type=\"1\">", "Jo",
         "", "1", "1", "", "Big++Axe"},
        {"markup characters are removed from every field", "<banklog player=\"<K>im\" count=\"<4>\" type=\"1\">", "Kim",
         "", "1", "4", "", ""},
        {"a type followed by another attribute counts without money; the item's word type never does",
         "<banklog dtab=\"0\" money=\"0\" otab=\"\" player=\"Bri\" rank=\"2\" ts=\"1\" type=\"1\" unknown=\"1\">\n"
         "<item count=\"20\" icon=\"i\" id=\"2592\" name=\"Wool\" qi=\"1\" subtype=\"\" type=\"consumables\"/>",
         "Bri", "", "1", "20", "00001", "Wool"},
        {"a bare type of several digits counts; one of letters or no digits does not",
         "<banklog player=\"Ned\" type=\"12\" type=\"x\" type=\"\" x=\"1\"/>", "Ned", "", "12", "1", "", ""},
        {"a key's name without its \"=\" is no key, however near the next \"=\"",
         "<banklog player=\"Lu\" count x=\"1\" type=\"1\">", "Lu", "", "1", "1", "", ""},
        {"a tab does not separate tokens", "<banklog player=\"Mo\"\ttype=\"1\"/>", "Mo\ttype=1/", "", "", "1", "", ""},
        {"other bytes stay, however hostile, in a megabyte name that never closes",
         "<banklog player=\"" + std::string("\0\xff\xfe<>&\"'", 8) + "\" type=\"1\" name=\"" +
             std::string(1 << 20, 'x'),
         std::string("\0\xff\xfe&'", 5), "", "1", "1", "", std::string(1 << 20, 'x')},
    };
    // Each after an element that sets every field: nothing of an entry carries over to the next.
    const std::string before = "<banklog money=\"9\" player=\"Pre\" type=\"2\" count=\"8\" qi=\"2\" name=\"Old\"/>\n";
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Scan scan = ScanText(before + c.text);
        ASSERT_EQ(scan.entries.size(), 2u);
        const BankLogEntry& e = scan.entries[1];
        EXPECT_EQ(std::tie(e.player, e.money, e.type, e.count, e.quality, e.itemName, e.value, e.itemId),
                  std::tie(c.player, c.money, c.type, c.count, c.quality, c.itemName, "", ""));
    }
}

// The entries (player@page) and the guild a text names.
TEST(BankLogScanner, FindsElementsPagesAndGuildKeys) {
    const struct {
        std::string text;
        std::string entries;
        GuildIdentity guild;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<guildKey name=\"First Guild\" nameUrl=\"x\" realm=\"Old Realm\"/>\n"
         "<banklog money=\"10000\" player=\"Ann\" type=\"4\"/>\n<?xml version=\"1.0\"?>\r\n"
         "<GuildKey name=\" Second  \" realm=\"Silver Hand\" realmUrl=\"Silver+Hand\"/>\r\n"
         "<banklog money=\"0\" player=\"Bob\" type=\"2\">\r\n  <item count=\"1\" name=\"Ore\" qi=\"2\"/>\r\n"
         "</banklog>\r<banklog money=\"20000\" player=\"null\" type=\"5\"/>\r"
         "<banklog money=\"20000\" player=\"Null\" type=\"5\"/>", // only "null" exactly is dropped
         "Ann@1,Bob@2,Null@2,",
         {"Second", "Silver Hand"}},
        {"<guildkey realm=\"R\" name=", "", {"Unknown", "R"}}, // a key in the last piece keeps the old value
        {"<guildKey nameUrl=\"A+B\" name=\"A B\" realmUrl=\"x\" realm=\"R S\"/>", "", {"A B", "R S"}},
        // Markup stays for the report to escape.
        {"<guildKey name=\" <A&amp;B> \" realm=\"<R>\"/>", "", {"<A&amp;B>", "<R>"}},
        // A second element on the same line is absorbed into the first one's tokens.
        {"<banklog player=\"A\" type=\"4\" money=\"9\"/><banklog player=\"B\" type=\"5\"/>",
         "B@0,",
         {"Unknown", "Unknown"}},
        // An element with no end takes in every following line.
        {"<banklog player=\"A\" type=\"1\">\nname=\"X\"\n<banklog player=\"B\" type=\"1\"/>\n",
         "B@0,",
         {"Unknown", "Unknown"}},
        // "<banklogs>" is not an element, and lines before an element are ignored.
        {"<banklogs>\n<banklog money=\"1\" player=\"C\" type=\"6\"/>\n</banklogs>", "C@0,", {"Unknown", "Unknown"}},
    };
    for (const auto& c : cases) {
        const Scan scan = ScanText(c.text);
        std::string entries;
        for (const BankLogEntry& e : scan.entries)
            entries += e.player + "@" + std::to_string(e.page) + ",";
        EXPECT_EQ(entries, c.entries) << c.text;
        EXPECT_EQ(scan.guild.name, c.guild.name) << c.text;
        EXPECT_EQ(scan.guild.realm, c.guild.realm) << c.text;
    }
}

TEST(BankLogScanner, ReadsTheElementsOwnTime) {
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"<banklog player=\"A\" TS=\"7\"/>", 7u}, // letter case ignored, the closing slash dropped
        {"<banklog player=\"A\" ts=\"18446744073709551615\" type=\"1\">", UINT64_MAX},
        {"<banklog player=\"A\" posts=\"9\" type=\"1\">", std::nullopt}, // only a token starting with ts=
        {"<banklog player=\"A\" ts12 type=\"1\">", std::nullopt},
        {"<banklog player=\"A\" ts=\"5\" type=\"1\">\n<item ts=\"9\" name=\"X\"/>", 5u}, // the element's own
    };
    for (const auto& [text, ts] : cases) {
        const Scan scan = ScanText(text);
        ASSERT_EQ(scan.entries.size(), 1u) << text;
        EXPECT_EQ(scan.entries[0].ts, ts) << text;
    }
}

// Two elements hash alike exactly when they differ only in whitespace, wherever their words fall. The
// second, on a later page, repeats the first exactly then: even when their hashes are made equal.
TEST(BankLogScanner, ElementHashesAndRepeatsIgnoreOnlyWhitespace) {
    const std::string element = "<banklog player=\"Alexandrina\" type=\"1\"/>";
    const std::string control = "<banklog player=\"Al\x01xandrina\" type=\"1\"/>";
    const std::string itemElement = "<banklog player=\"A\" type=\"1\">\n  <item name=\"X Y\"/>";
    const struct {
        std::string first, second;
        bool alike;
    } cases[] = {
        {element, "<banklog   player=\"Alexandrina\"\ttype=\"1\"/>", true},
        {element, "  \v<banklog \fplayer=\"Alexandrina\"\n type=\"1\"/>", true},
        {element, "<banklog player=\"Alexandrin a\" type=\"1\"/>", false},
        {element, "<banklog player=\"Alexandrinatype=\"1\"/>", false},
        {control, "       " + control, true},
        {"<banklog player=\"A\" type=\"1\"/>", std::string("<banklog player=\"A\"\0 type=\"1\"/>", 31), false},
        {control, "<banklog player=\"Al xandrina\" type=\"1\"/>", false},
        {"<banklog player=\"12345678\" type=\"1\"/>", "<banklog player=\"1234567\" 8 type=\"1\"/>", false},
        // Line breaks are whitespace too, but tags or words may not run together.
        {itemElement, "<banklog player=\"A\" type=\"1\">\r\n<item name=\"X  Y\"/>", true},
        {itemElement, "   <banklog  player=\"A\"\ttype=\"1\"><item name=\"X Y\"/>", false},
    };
    for (const auto& c : cases) {
        const std::string text = c.first + "\n" + c.second;
        Scan scan = ScanText(text);
        ASSERT_EQ(scan.entries.size(), 2u) << c.second;
        EXPECT_EQ(scan.entries[0].textHash == scan.entries[1].textHash, c.alike) << c.second;
        scan.entries[1].page = 1;
        for (const bool sameHash : {false, true}) {
            scan.entries[1].textHash = sameHash ? scan.entries[0].textHash : scan.entries[1].textHash;
            EntryFilter filter({.period = std::nullopt, .countRepeatedOnce = true}, text);
            EXPECT_TRUE(filter.admit(scan.entries[0]));
            EXPECT_EQ(filter.admit(scan.entries[1]), !c.alike) << c.second;
        }
    }
}

TEST(LineReader, SplitsOnEveryKindOfLineBreakAcrossChunks) {
    // The CR of a CR LF falls on the last byte of the first 1 MiB chunk.
    std::string text(1 << 20, 'a');
    text[(1 << 20) - 1] = '\r';
    text += "\nb\n\nc\rd";
    std::istringstream in(text);
    LineReader lines(in);
    std::vector<std::string> got;
    for (std::string_view line; lines.readLine(line);)
        got.emplace_back(line);
    EXPECT_EQ(got, (std::vector<std::string>{std::string((1 << 20) - 1, 'a'), "b", "", "c", "d"}));
}

} // namespace
} // namespace coffer
