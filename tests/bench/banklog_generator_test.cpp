#include "analysis/bank_log_scanner.h"
#include "banklog_generator.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

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

} // namespace
} // namespace coffer::bench
