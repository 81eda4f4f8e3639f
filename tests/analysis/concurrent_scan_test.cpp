#include "analysis/concurrent_scan.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <vector>

namespace coffer {
namespace {

// A log of `count` gold deposits by players "p0", "p1", ... and a guild key at its end.
std::string Log(int count) {
    std::string text = "<?xml?>\n";
    for (int i = 0; i < count; ++i)
        text += "<banklog money=\"" + std::to_string(i + 1) + "\" player=\"p" + std::to_string(i) + "\" type=\"4\"/>\n";
    return text + "<guildKey name=\"Late Guild\" realm=\"R\"/>\n";
}

TEST(ConcurrentScan, HandsOverEveryEntryInLogOrder) {
    for (const int count : {0, 1, 511, 512, 513, 20000}) {
        std::istringstream in(Log(count));
        LineReader lines(in);
        GuildIdentity guild;
        std::vector<std::string> players;
        ScanBankLogConcurrently(lines, guild, [&](BankLogEntry& e) { players.push_back(e.player); });
        ASSERT_EQ(players.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(players[static_cast<std::size_t>(i)], "p" + std::to_string(i));
        EXPECT_EQ(guild.name, "Late Guild");
    }
}

TEST(ConcurrentScan, AFailingHandlerStopsTheScanAndIsPassedOn) {
    // Far more entries than the scan may run ahead: it must notice the stop while waiting for room.
    std::istringstream in(Log(100000));
    LineReader lines(in);
    GuildIdentity guild;
    int handled = 0;
    EXPECT_THROW(ScanBankLogConcurrently(lines, guild,
                                         [&](BankLogEntry&) {
                                             if (++handled == 700)
                                                 throw std::runtime_error("cancelled");
                                         }),
                 std::runtime_error);
    EXPECT_EQ(handled, 700);
    EXPECT_EQ(guild.name, "Unknown"); // nothing of a stopped scan is kept
}

} // namespace
} // namespace coffer
