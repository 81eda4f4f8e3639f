#include "banklog_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using coffer::bench::BankLogGeneratorOptions;
using coffer::bench::GenerateBankLog;
using coffer::bench::kBankLogEntriesPerPage;
using coffer::bench::WriteBankLog;

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::string_view kStylesheet = "<?xml-stylesheet type=\"text/xsl\" href=\"/_layout/guild/bank-log.xsl\"?>";
constexpr std::string_view kPageStart = "<page globalSearch=\"1\" lang=\"en_us\" requestUrl=\"/guild-bank-log.xml\">";

BankLogGeneratorOptions Options(std::size_t entries, std::uint64_t seed = 1, std::size_t members = 3000,
                                std::size_t items = 5000) {
    BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.seed = seed;
    options.member_count = members;
    options.item_count = items;
    return options;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text); // unterminated last line; callers reject it
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Attributes of the single tag on `line`, which must be `<tag a="x" b="y">`
// or `.../>` after the given indentation; nullopt if the line is anything else.
std::optional<Attributes> ParseTag(std::string_view line, std::string_view indent, std::string_view tag) {
    const std::string opening = std::string(indent) + "<" + std::string(tag);
    if (!StartsWith(line, opening))
        return std::nullopt;
    std::string_view rest = line.substr(opening.size());
    Attributes attributes;
    while (StartsWith(rest, " ")) {
        rest.remove_prefix(1);
        const std::size_t eq = rest.find("=\"");
        if (eq == std::string_view::npos || eq == 0)
            return std::nullopt;
        const std::size_t close = rest.find('"', eq + 2);
        if (close == std::string_view::npos)
            return std::nullopt;
        attributes.emplace_back(std::string(rest.substr(0, eq)), std::string(rest.substr(eq + 2, close - eq - 2)));
        rest.remove_prefix(close + 1);
    }
    if (rest != ">" && rest != "/>")
        return std::nullopt;
    return attributes;
}

std::vector<std::string> Names(const Attributes& attributes) {
    std::vector<std::string> names;
    for (const auto& [name, value] : attributes)
        names.push_back(name);
    return names;
}

std::string Get(const Attributes& attributes, std::string_view name) {
    for (const auto& [key, value] : attributes) {
        if (key == name)
            return value;
    }
    ADD_FAILURE() << "missing attribute " << name;
    return {};
}

bool IsNumber(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t Number(const std::string& s) {
    EXPECT_TRUE(IsNumber(s)) << "'" << s << "'";
    return IsNumber(s) ? std::stoull(s) : 0;
}

struct Entry {
    Attributes log;
    std::optional<Attributes> item;
    std::string text; // the entry's lines, for prefix comparisons
};

struct ParsedLog {
    std::vector<Entry> entries;
    std::vector<std::size_t> entries_per_page;
    std::vector<Attributes> guild_keys;
};

// Checks the exact line layout while parsing; every deviation is a test failure.
ParsedLog ParseLog(const std::string& text) {
    ParsedLog log;
    EXPECT_TRUE(EndsWith(text, "\n"));
    EXPECT_EQ(text.find('\r'), std::string::npos);
    const std::vector<std::string_view> lines = Lines(text);
    std::size_t i = 0;
    auto next = [&]() -> std::string_view { return i < lines.size() ? lines[i++] : std::string_view("<eof>"); };
    while (i < lines.size()) {
        EXPECT_EQ(next(), kXmlDeclaration) << "line " << i;
        EXPECT_EQ(next(), kStylesheet) << "line " << i;
        EXPECT_EQ(next(), kPageStart) << "line " << i;
        const auto key = ParseTag(next(), "  ", "guildKey");
        EXPECT_TRUE(key && EndsWith(lines[i - 1], "/>")) << "line " << i << ": " << lines[i - 1];
        if (key)
            log.guild_keys.push_back(*key);
        EXPECT_EQ(next(), "  <guildBank>") << "line " << i;
        EXPECT_EQ(next(), "    <banklogs>") << "line " << i;
        std::size_t on_page = 0;
        while (i < lines.size() && lines[i] != "    </banklogs>") {
            const std::string_view start = next();
            const auto attributes = ParseTag(start, "      ", "banklog");
            if (!attributes) {
                ADD_FAILURE() << "line " << i << " is not a banklog element: " << start;
                return log;
            }
            Entry entry{*attributes, std::nullopt, std::string(start) + "\n"};
            if (!EndsWith(start, "/>")) {
                const std::string_view item_line = next();
                entry.item = ParseTag(item_line, "        ", "item");
                EXPECT_TRUE(entry.item && EndsWith(item_line, "/>")) << "line " << i << ": " << item_line;
                const std::string_view close = next();
                EXPECT_EQ(close, "      </banklog>") << "line " << i;
                entry.text += std::string(item_line) + "\n" + std::string(close) + "\n";
            }
            log.entries.push_back(std::move(entry));
            ++on_page;
        }
        EXPECT_EQ(next(), "    </banklogs>") << "line " << i;
        EXPECT_EQ(next(), "  </guildBank>") << "line " << i;
        EXPECT_EQ(next(), "</page>") << "line " << i;
        log.entries_per_page.push_back(on_page);
    }
    return log;
}

std::size_t CountOccurrences(std::string_view text, std::string_view needle) {
    std::size_t count = 0;
    for (std::size_t pos = text.find(needle); pos != std::string_view::npos; pos = text.find(needle, pos + 1))
        ++count;
    return count;
}

// ---------------------------------------------------------------------------

TEST(BankLogGenerator, SameOptionsGiveSameBytesInMemoryAndStreamed) {
    const std::vector<BankLogGeneratorOptions> cases = {
        Options(0), Options(1, 7, 1, 1), Options(2500, 42, 50, 20), Options(3001), Options(1200, 99, 3, 10000),
    };
    for (const auto& options : cases) {
        SCOPED_TRACE("entries=" + std::to_string(options.entry_count) + " seed=" + std::to_string(options.seed));
        const std::string first = GenerateBankLog(options);
        EXPECT_EQ(first, GenerateBankLog(options));
        std::ostringstream streamed;
        WriteBankLog(streamed, options);
        EXPECT_EQ(first, streamed.str());
    }
}

std::uint64_t Fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// Pins the exact bytes. A failure here after an intended change to the output
// means updating the numbers; a failure on just one compiler or standard
// library means something platform-dependent crept in (an operand evaluation
// order, a <random> distribution, floating point, hash-set iteration order).
TEST(BankLogGenerator, OutputMatchesPinnedChecksums) {
    struct Case {
        BankLogGeneratorOptions options;
        std::uint64_t fnv1a;
    };
    BankLogGeneratorOptions other_guild = Options(1000, 77, 40, 300);
    other_guild.guild_name = "Salt & Pepper";
    other_guild.realm = "Kel'Thuzad";
    const std::vector<Case> cases = {
        {Options(0), 5145614255157657027u},
        {Options(3, 9, 2, 2), 1448659474801482815u},
        {Options(2500), 9786828225212099039u},
        {other_guild, 16042158403145581553u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fnv1a64(GenerateBankLog(c.options)), c.fnv1a)
            << "entries=" << c.options.entry_count << " seed=" << c.options.seed;
    }
}

TEST(BankLogGenerator, DifferentSeedsGiveDifferentLogs) {
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> seeds = {
        {1, 2}, {0, 1}, {123, 124}, {5, 5 + (std::uint64_t{1} << 40)}, {~std::uint64_t{0}, 0}};
    for (const auto& [a, b] : seeds) {
        SCOPED_TRACE(std::to_string(a) + " vs " + std::to_string(b));
        const ParsedLog left = ParseLog(GenerateBankLog(Options(300, a)));
        const ParsedLog right = ParseLog(GenerateBankLog(Options(300, b)));
        ASSERT_EQ(left.entries.size(), right.entries.size());
        std::size_t same = 0;
        for (std::size_t i = 0; i < left.entries.size(); ++i)
            same += left.entries[i].text == right.entries[i].text;
        EXPECT_LT(same, left.entries.size() / 10) << "entries should differ almost everywhere";
    }
}

TEST(BankLogGenerator, EntriesAreSplitIntoPagesOfAThousand) {
    const std::vector<std::pair<std::size_t, std::vector<std::size_t>>> cases = {
        {0, {0}},
        {1, {1}},
        {999, {999}},
        {1000, {1000}},
        {1001, {1000, 1}},
        {2000, {1000, 1000}},
        {4321, {1000, 1000, 1000, 1000, 321}},
    };
    for (const auto& [entries, pages] : cases) {
        SCOPED_TRACE("entries=" + std::to_string(entries));
        const std::string text = GenerateBankLog(Options(entries, entries + 3, 200, 300));
        const ParsedLog log = ParseLog(text);
        EXPECT_EQ(log.entries.size(), entries);
        EXPECT_EQ(log.entries_per_page, pages);
        EXPECT_EQ(CountOccurrences(text, "<banklog "), entries);
        EXPECT_EQ(CountOccurrences(text, "\n      <banklog "), entries) << "each at the start of its own line";
        EXPECT_EQ(CountOccurrences(text, "<?xml version"), pages.size());
        EXPECT_EQ(CountOccurrences(text, "<guildKey "), pages.size());
        EXPECT_EQ(kBankLogEntriesPerPage, 1000u);
    }
}

TEST(BankLogGenerator, EveryLineHoldsExactlyOneTag) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        const std::string text = GenerateBankLog(Options(2100, seed));
        for (std::string_view line : Lines(text)) {
            EXPECT_EQ(CountOccurrences(line, "<"), 1u) << line;
            EXPECT_EQ(CountOccurrences(line, ">"), 1u) << line;
        }
    }
}

TEST(BankLogGenerator, AttributesAreAlphabeticalAndMatchTheEntryType) {
    const std::vector<std::string> item_entry = {"dtab", "money", "player", "rank", "ts", "type"};
    const std::vector<std::string> move_entry = {"dtab", "money", "otab", "player", "rank", "ts", "type"};
    const std::vector<std::string> item_child = {"count", "icon", "id", "name", "qi", "slot", "subtype", "type"};
    const std::vector<std::string> guild_key = {"factionId", "name", "nameUrl", "realm", "realmUrl", "url"};

    for (std::uint64_t seed : {1u, 17u, 2024u}) {
        SCOPED_TRACE("seed=" + std::to_string(seed));
        const ParsedLog log = ParseLog(GenerateBankLog(Options(5000, seed)));
        ASSERT_EQ(log.entries.size(), 5000u);
        for (const Attributes& key : log.guild_keys)
            EXPECT_EQ(Names(key), guild_key);
        for (const Entry& entry : log.entries) {
            const std::vector<std::string> names = Names(entry.log);
            ASSERT_TRUE(std::is_sorted(names.begin(), names.end())) << entry.text;
            const std::uint64_t type = Number(Get(entry.log, "type"));
            const std::string dtab = Get(entry.log, "dtab");
            const std::string money = Get(entry.log, "money");
            if (type >= 1 && type <= 3) {
                EXPECT_EQ(names, type == 3 ? move_entry : item_entry) << entry.text;
                ASSERT_TRUE(entry.item.has_value()) << entry.text;
                EXPECT_EQ(Names(*entry.item), item_child) << entry.text;
                EXPECT_EQ(money, "0") << entry.text;
                EXPECT_LE(Number(dtab), 5u) << entry.text;
                if (type == 3) {
                    EXPECT_NE(Get(entry.log, "otab"), dtab) << entry.text;
                }
                EXPECT_LE(Number(Get(*entry.item, "qi")), 6u) << entry.text;
                EXPECT_LE(Number(Get(*entry.item, "type")), 15u) << entry.text;
                EXPECT_GE(Number(Get(*entry.item, "count")), 1u) << entry.text;
                EXPECT_LE(Number(Get(*entry.item, "slot")), 97u) << entry.text;
            } else {
                EXPECT_GE(type, 4u) << entry.text;
                EXPECT_LE(type, 6u) << entry.text;
                EXPECT_EQ(names, item_entry) << entry.text;
                EXPECT_FALSE(entry.item.has_value()) << entry.text;
                EXPECT_EQ(dtab, "") << entry.text;
                EXPECT_GT(Number(money), 0u) << entry.text;
            }
        }
    }
}

TEST(BankLogGenerator, TimestampsStrictlyDecreaseAcrossPages) {
    for (std::size_t entries : {2u, 1500u, 6000u}) {
        const ParsedLog log = ParseLog(GenerateBankLog(Options(entries, entries)));
        ASSERT_EQ(log.entries.size(), entries);
        std::uint64_t previous = UINT64_MAX;
        for (const Entry& entry : log.entries) {
            const std::uint64_t ts = Number(Get(entry.log, "ts"));
            EXPECT_LT(ts, previous) << entry.text;
            EXPECT_EQ(ts % 1000, 0u) << "whole seconds in milliseconds: " << entry.text;
            EXPECT_GT(ts, 1'100'000'000'000u) << "plausible date: " << entry.text;
            previous = ts;
        }
    }
}

// The fixed markup alone is about 163 bytes per entry with this type mix; with
// names and icons the average lands near 200.
TEST(BankLogGenerator, SizePerEntryIsInTheExpectedRange) {
    const std::vector<std::tuple<std::size_t, std::uint64_t, std::size_t>> cases = {
        {10000, 1, 3000}, {10000, 2, 3000}, {20000, 3, 200}, {5000, 4, 30000}};
    for (const auto& [entries, seed, members] : cases) {
        const std::size_t bytes = GenerateBankLog(Options(entries, seed, members)).size();
        EXPECT_GE(bytes, entries * 175) << "seed " << seed;
        EXPECT_LE(bytes, entries * 225) << "seed " << seed;
    }
}

TEST(BankLogGenerator, EntryTypeMixAndNullPlayers) {
    const std::size_t entries = 40000;
    const ParsedLog log = ParseLog(GenerateBankLog(Options(entries, 11)));
    std::map<std::uint64_t, std::size_t> per_type;
    std::size_t null_players = 0;
    for (const Entry& entry : log.entries) {
        ++per_type[Number(Get(entry.log, "type"))];
        null_players += Get(entry.log, "player") == "null";
    }
    const std::vector<std::pair<std::uint64_t, std::size_t>> expected_per_mille = {{1, 350}, {2, 350}, {3, 50},
                                                                                   {4, 120}, {5, 80},  {6, 50}};
    for (const auto& [type, per_mille] : expected_per_mille) {
        const std::size_t actual = per_type[type] * 1000 / entries;
        EXPECT_NEAR(static_cast<double>(actual), static_cast<double>(per_mille), 12.0) << "type " << type;
    }
    EXPECT_EQ(per_type.size(), 6u);
    EXPECT_GE(null_players, 15u); // about 40 expected
    EXPECT_LE(null_players, 80u);
}

TEST(BankLogGenerator, RosterAndCatalogueStayConsistent) {
    // members, items, entries
    const std::vector<std::tuple<std::size_t, std::size_t, std::size_t>> cases = {
        {1, 1, 500}, {5, 3, 2000}, {40, 200, 3000}, {3000, 5000, 8000}};
    for (const auto& [members, items, entries] : cases) {
        SCOPED_TRACE("members=" + std::to_string(members) + " items=" + std::to_string(items));
        const ParsedLog log = ParseLog(GenerateBankLog(Options(entries, 5, members, items)));
        std::map<std::string, std::string> rank_of;
        std::map<std::string, std::string> item_of;
        for (const Entry& entry : log.entries) {
            const std::string player = Get(entry.log, "player");
            if (player != "null") {
                ASSERT_GE(player.size(), 2u);
                ASSERT_LE(player.size(), 12u);
                EXPECT_TRUE(player[0] >= 'A' && player[0] <= 'Z') << player;
                EXPECT_TRUE(std::all_of(player.begin() + 1, player.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                    << player;
                const auto [it, inserted] = rank_of.emplace(player, Get(entry.log, "rank"));
                EXPECT_EQ(it->second, Get(entry.log, "rank")) << "rank changed for " << player;
            }
            if (!entry.item)
                continue;
            const Attributes& item = *entry.item;
            const std::string name = Get(item, "name");
            const std::size_t words = CountOccurrences(name, " ") + 1;
            EXPECT_GE(words, 1u);
            EXPECT_LE(words, 4u) << name;
            EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
            })) << name;
            const std::string identity = name + "|" + Get(item, "icon") + "|" + Get(item, "qi") + "|" +
                                         Get(item, "type") + "|" + Get(item, "subtype");
            const auto [it, inserted] = item_of.emplace(Get(item, "id"), identity);
            EXPECT_EQ(it->second, identity) << "item id " << it->first << " changed";
        }
        EXPECT_LE(rank_of.size(), members);
        EXPECT_GE(rank_of.size(), std::min<std::size_t>(members, 5));
        EXPECT_LE(item_of.size(), items);
        EXPECT_LE(std::count_if(rank_of.begin(), rank_of.end(), [](const auto& p) { return p.second == "0"; }), 1);
    }
}

TEST(BankLogGenerator, ItemQualitiesAndWithdrawOnlyMembersAllOccur) {
    const ParsedLog log = ParseLog(GenerateBankLog(Options(30000, 1)));
    std::set<std::string> qualities;
    std::map<std::string, std::pair<std::size_t, std::size_t>> deposits_withdrawals;
    for (const Entry& entry : log.entries) {
        if (entry.item)
            qualities.insert(Get(*entry.item, "qi"));
        const std::uint64_t type = Number(Get(entry.log, "type"));
        auto& counts = deposits_withdrawals[Get(entry.log, "player")];
        if (type == 1 || type == 4)
            ++counts.first;
        if (type == 2 || type == 5)
            ++counts.second;
    }
    EXPECT_EQ(qualities, (std::set<std::string>{"0", "1", "2", "3", "4", "5", "6"}));
    std::size_t withdraw_only = 0;
    std::size_t deposit_heavy = 0;
    for (const auto& [player, counts] : deposits_withdrawals) {
        withdraw_only += counts.first == 0 && counts.second >= 5;
        deposit_heavy += counts.first >= 20 && counts.first >= 8 * counts.second;
    }
    EXPECT_GE(withdraw_only, 10u);
    EXPECT_GE(deposit_heavy, 10u);
}

TEST(BankLogGenerator, SmallerLogIsAPrefixOfALargerOne) {
    const std::vector<std::pair<std::size_t, std::size_t>> cases = {{1, 10}, {999, 1001}, {1000, 2500}, {1700, 3000}};
    for (const auto& [small, large] : cases) {
        SCOPED_TRACE(std::to_string(small) + " of " + std::to_string(large));
        const ParsedLog a = ParseLog(GenerateBankLog(Options(small, 9)));
        const ParsedLog b = ParseLog(GenerateBankLog(Options(large, 9)));
        ASSERT_EQ(a.entries.size(), small);
        ASSERT_EQ(b.entries.size(), large);
        for (std::size_t i = 0; i < small; ++i)
            ASSERT_EQ(a.entries[i].text, b.entries[i].text) << "entry " << i;
    }
}

TEST(BankLogGenerator, GuildKeyIsEscapedAndUrlEncoded) {
    struct Case {
        std::string guild;
        std::string realm;
        std::string expected_line;
    };
    const std::vector<Case> cases = {
        {"Iron Lanterns", "Silver Hand",
         "  <guildKey factionId=\"0\" name=\"Iron Lanterns\" nameUrl=\"Iron+Lanterns\" realm=\"Silver Hand\" "
         "realmUrl=\"Silver+Hand\" url=\"r=Silver+Hand&amp;n=Iron+Lanterns\"/>"},
        {"Salt & Pepper", "Kel'Thuzad",
         "  <guildKey factionId=\"0\" name=\"Salt &amp; Pepper\" nameUrl=\"Salt+%26+Pepper\" realm=\"Kel'Thuzad\" "
         "realmUrl=\"Kel%27Thuzad\" url=\"r=Kel%27Thuzad&amp;n=Salt+%26+Pepper\"/>"},
        {"Zo\xC3\xAB <\"Crew\">", "A",
         "  <guildKey factionId=\"0\" name=\"Zo\xC3\xAB &lt;&quot;Crew&quot;&gt;\" "
         "nameUrl=\"Zo%C3%AB+%3C%22Crew%22%3E\" realm=\"A\" realmUrl=\"A\" "
         "url=\"r=A&amp;n=Zo%C3%AB+%3C%22Crew%22%3E\"/>"},
        {"Two\nLines", "R",
         "  <guildKey factionId=\"0\" name=\"Two&#10;Lines\" nameUrl=\"Two%0ALines\" realm=\"R\" realmUrl=\"R\" "
         "url=\"r=R&amp;n=Two%0ALines\"/>"},
    };
    for (const Case& c : cases) {
        BankLogGeneratorOptions options = Options(1500);
        options.guild_name = c.guild;
        options.realm = c.realm;
        const std::string text = GenerateBankLog(options);
        const std::vector<std::string_view> lines = Lines(text);
        ASSERT_GT(lines.size(), 4u);
        EXPECT_EQ(lines[3], c.expected_line);
        EXPECT_EQ(CountOccurrences(text, c.expected_line), 2u) << "same key on both pages";
    }
}

TEST(BankLogGenerator, RejectsUnusableOptions) {
    auto with = [](auto change) {
        BankLogGeneratorOptions options = Options(10);
        change(options);
        return options;
    };
    const std::vector<std::pair<std::string, BankLogGeneratorOptions>> cases = {
        {"no members", with([](auto& o) { o.member_count = 0; })},
        {"no items", with([](auto& o) { o.item_count = 0; })},
        {"too many members", with([](auto& o) { o.member_count = coffer::bench::kMaxGeneratedMembers + 1; })},
        {"too many items", with([](auto& o) { o.item_count = coffer::bench::kMaxGeneratedItems + 1; })},
        {"empty guild", with([](auto& o) { o.guild_name.clear(); })},
        {"empty realm", with([](auto& o) { o.realm.clear(); })},
        {"control character", with([](auto& o) { o.guild_name = "Bad\x01Name"; })},
    };
    for (const auto& [label, options] : cases) {
        EXPECT_THROW(GenerateBankLog(options), std::invalid_argument) << label;
        std::ostringstream out;
        EXPECT_THROW(WriteBankLog(out, options), std::invalid_argument) << label;
        EXPECT_TRUE(out.str().empty()) << label << ": nothing written before the check";
    }
}

TEST(BankLogGenerator, LargestRosterAndCatalogueCanBeBuilt) {
    BankLogGeneratorOptions options = Options(3000, 1, coffer::bench::kMaxGeneratedMembers, 200'000);
    const ParsedLog log = ParseLog(GenerateBankLog(options));
    std::set<std::string> players;
    for (const Entry& entry : log.entries)
        players.insert(Get(entry.log, "player"));
    EXPECT_EQ(log.entries.size(), 3000u);
    EXPECT_GT(players.size(), 1000u) << "a huge roster spreads the traffic";
}

} // namespace
