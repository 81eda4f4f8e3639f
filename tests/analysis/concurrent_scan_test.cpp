// SPDX-License-Identifier: MIT
#include "analysis/scan/concurrent_scan.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <stop_token>
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
        ScanBankLogConcurrently(lines, guild, [&](BankLogEntry& e) { players.push_back(e.player); }, {});
        ASSERT_EQ(players.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(players[static_cast<std::size_t>(i)], std::string("p").append(std::to_string(i)));
        EXPECT_EQ(guild.name, "Late Guild");
    }
}

// A handler that fails, or asks for a stop, ends the scan at once; a failure is passed on.
TEST(ConcurrentScan, AFailingOrStoppingHandlerEndsTheScan) {
    for (const bool fail : {true, false}) {
        // Far more entries than the scan may run ahead: it must notice the stop while waiting for room.
        std::istringstream in(Log(100000));
        LineReader lines(in);
        GuildIdentity guild;
        std::stop_source stop;
        int handled = 0;
        auto scan = [&] {
            ScanBankLogConcurrently(
                lines, guild,
                [&](BankLogEntry&) {
                    if (++handled < 700)
                        return;
                    if (fail)
                        throw std::runtime_error("cancelled");
                    stop.request_stop();
                },
                stop.get_token());
        };
        if (fail)
            EXPECT_THROW(scan(), std::runtime_error);
        else
            scan();
        EXPECT_EQ(handled, 700) << fail;
        EXPECT_EQ(guild.name, "Unknown") << fail; // nothing of a stopped scan is kept
    }
}

} // namespace
} // namespace coffer
