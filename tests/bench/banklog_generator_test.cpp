#include "analysis/analysis_run.h"
#include "analysis/bank_log_scanner.h"
#include "banklog_generator.h"
#include "support/table_difference.h"
#include "support/temp_folder.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <stdexcept>

namespace coffer::bench {
namespace {

BankLogGeneratorOptions Options(std::size_t entries, std::uint64_t seed = 1, std::size_t members = 300,
                                std::size_t items = 400) {
    BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.seed = seed;
    options.member_count = members;
    options.item_count = items;
    return options;
}

std::size_t Count(std::string_view text, std::string_view needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

TEST(BankLogGenerator, PagesOfAThousandEntriesTheSameInMemoryAndStreamed) {
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 1}, {1000, 1}, {1001, 2}, {4321, 5}};
    for (const auto& [entries, pages] : cases) {
        const std::string text = GenerateBankLog(Options(entries, entries + 3));
        EXPECT_EQ(Count(text, "\n      <banklog "), entries) << "each element starts its own line";
        EXPECT_EQ(Count(text, "<banklog "), entries);
        EXPECT_EQ(Count(text, "<?xml version"), pages);
        EXPECT_EQ(Count(text, "<guildKey "), pages);
        std::ostringstream streamed;
        WriteBankLog(streamed, Options(entries, entries + 3));
        EXPECT_EQ(streamed.str(), text);
    }
    EXPECT_NE(GenerateBankLog(Options(300, 1)), GenerateBankLog(Options(300, 2)));
}

// What the generator is for: the engine reads its logs as a real bank log.
TEST(BankLogGenerator, TheScannerReadsEveryKindOfEntry) {
    std::istringstream in(GenerateBankLog(Options(20000, 5)));
    LineReader lines(in);
    GuildIdentity guild;
    std::map<std::string, int> types, qualities;
    int entries = 0;
    ScanBankLog(lines, guild,
                [&](BankLogEntry& e) {
                    ++entries;
                    ++types[e.type];
                    if (e.type == "1" || e.type == "2")
                        ++qualities[e.quality];
                    EXPECT_NE((e.type == "1" || e.type == "2") ? e.itemName : e.type == "3" ? "move" : e.money, "");
                },
                {});
    EXPECT_EQ(guild.name, "Iron Lanterns");
    EXPECT_GT(entries, 19900); // all but the few "null" players
    for (const char* type : {"1", "2", "3", "4", "5", "6"})
        EXPECT_GT(types[type], 200) << type;
    EXPECT_EQ(types.size(), 6u) << "every element's type token is read";
    EXPECT_EQ(qualities.size(), 7u) << "every quality weight";
}

TEST(BankLogGenerator, OverlappingPagesCountOnceAsThePlainLog) {
    const coffer::testing::ScopedTimeZone zone("UTC0");
    BankLogGeneratorOptions options = Options(2800, 5);
    options.spread_days = 28; // back from Saturday 2009-01-03: five ISO weeks
    const std::string plain = GenerateBankLog(options);
    options.overlap_entries = 7;
    const std::string overlapping = GenerateBankLog(options);
    ASSERT_EQ(Count(overlapping, "<banklog "), 2800u + 2 * 7);
    const std::uint64_t repeatedNulls = Count(overlapping, "player=\"null\"") - Count(plain, "player=\"null\"");

    coffer::testing::TempFolder folder;
    auto analyse = [&](const std::string& text, bool countRepeatedOnce, GuildStats& stats) {
        AnalysisHooks hooks;
        hooks.selection.countRepeatedOnce = countRepeatedOnce;
        return RunAnalysis(text, stats, folder.path(), hooks).repeatedEntries;
    };
    GuildStats once, plainStats, twice;
    EXPECT_EQ(analyse(plain, false, plainStats), 0u);
    EXPECT_EQ(analyse(overlapping, true, once), 2 * 7 - repeatedNulls);
    EXPECT_EQ(analyse(overlapping, false, twice), 2 * 7 - repeatedNulls);
    EXPECT_EQ(once.activity.weeks().size(), 5u);
    EXPECT_EQ(once.activity.weeks(), plainStats.activity.weeks());
    EXPECT_EQ(coffer::testing::FirstDifference(once.members, plainStats.members), std::nullopt);
    EXPECT_EQ(coffer::testing::FirstDifference(once.items, plainStats.items), std::nullopt);
    EXPECT_NE(coffer::testing::FirstDifference(twice.members, plainStats.members), std::nullopt);
}

TEST(BankLogGenerator, RejectsUnusableOptions) {
    std::vector<BankLogGeneratorOptions> unusable(6, Options(10));
    unusable[0].member_count = 0;
    unusable[1].item_count = 0;
    unusable[2].member_count = kMaxGeneratedMembers + 1;
    unusable[3].guild_name.clear();
    unusable[4].overlap_entries = kBankLogEntriesPerPage + 1;
    unusable[5].spread_days = kMaxSpreadDays + 1;
    for (const BankLogGeneratorOptions& options : unusable) {
        std::ostringstream out;
        EXPECT_THROW(WriteBankLog(out, options), std::invalid_argument);
        EXPECT_TRUE(out.str().empty());
    }
}

} // namespace
} // namespace coffer::bench
