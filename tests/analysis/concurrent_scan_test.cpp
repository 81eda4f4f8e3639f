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

// What a scan tells element hooks, in the order told: each element's player, text and whether it
// closed, and each guild.
std::vector<std::string> ToldElements(std::string_view text, bool concurrently, GuildIdentity& guild) {
    std::vector<std::string> told;
    ElementTextHooks hooks;
    hooks.guildKey = [&](const GuildIdentity& named) { told.push_back("guild " + named.name); };
    hooks.element = [&](const BankLogEntry& entry, std::string_view elementText, bool closed) {
        told.push_back(entry.player + (closed ? " closed " : " open ") + std::string(elementText));
    };
    (concurrently ? ScanBankLogElementsConcurrently : ScanBankLogElements)(text, guild, hooks);
    return told;
}

TEST(ConcurrentScan, TellsElementHooksWhatAScanTellsThemInTheSameOrder) {
    for (const int count : {0, 1, 255, 256, 257, 5000}) {
        // A guild key before the entries, one among them, one after; an element over two lines, and one
        // the text ends in.
        std::string text = "<guildKey name=\"First\" realm=\"R\"/>\n" + Log(count / 2) +
                           "<banklog player=\"split\" type=\"4\"\n money=\"3\"/>\n" + Log(count - count / 2) +
                           "<banklog player=\"cut\" type=\"4\"";
        GuildIdentity alone, beside;
        const std::vector<std::string> expected = ToldElements(text, false, alone);
        EXPECT_EQ(ToldElements(text, true, beside), expected) << count;
        EXPECT_EQ(expected.size(), static_cast<std::size_t>(count + 5)) << count;
        EXPECT_EQ(beside.name, alone.name) << count;
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

TEST(ConcurrentScan, AFailingElementHookEndsTheScan) {
    const std::string text = Log(100000);
    GuildIdentity guild;
    int handled = 0;
    ElementTextHooks hooks;
    hooks.element = [&](const BankLogEntry&, std::string_view, bool) {
        if (++handled == 700)
            throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(ScanBankLogElementsConcurrently(text, guild, hooks), std::runtime_error);
    EXPECT_EQ(handled, 700);
    EXPECT_EQ(guild.name, "Unknown");
}

} // namespace
} // namespace coffer
