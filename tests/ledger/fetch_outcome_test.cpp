// SPDX-License-Identifier: MIT
#include "ledger/fetch_outcome.h"
#include "ledger/sqlite_ledger.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

namespace coffer {
namespace {

// Whatever goes wrong in a fetch's add is a refused fetch with its reason, never an end of the program
// that watches; a stop is not a failure and goes on to the caller.
TEST(FetchOutcome, EveryFailureOfTheAddIsARefusal) {
    const std::string address = "https://armory.example/guild-bank-log.xml";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { throw LedgerError(LedgerErrorKind::Locked, "the ledger is locked"); }, "the ledger is locked"},
        {[] {
             throw std::filesystem::filesystem_error("open", "/no/such/ledger.sqlite",
                                                     std::make_error_code(std::errc::permission_denied));
         },
         "/no/such/ledger.sqlite: cannot open the ledger: Permission denied"},
        {[] { throw std::bad_alloc(); }, "there is not enough memory for this page"},
        {[] { throw std::out_of_range("vector"); }, "vector"},
    };
    for (const auto& [fail, reason] : cases) {
        const FetchOutcome outcome = RefusedOnFailure(address, [&]() -> FetchOutcome {
            fail();
            return {};
        });
        EXPECT_EQ(outcome.result, FetchResult::Refused) << reason;
        ASSERT_EQ(outcome.keptLines.size(), 1U) << reason;
        EXPECT_TRUE(outcome.keptLines[0].starts_with(address + ": refused: ")) << outcome.keptLines[0];
        EXPECT_NE(outcome.keptLines[0].find(reason), std::string::npos) << outcome.keptLines[0];
    }
    EXPECT_THROW(RefusedOnFailure(address, []() -> FetchOutcome { throw AddCancelled(); }), AddCancelled);
    const FetchOutcome added = RefusedOnFailure(address, [] {
        return FetchOutcome{.result = FetchResult::NoBankLog, .statusLines = {}, .keptLines = {}, .alerts = {}};
    });
    EXPECT_EQ(added.result, FetchResult::NoBankLog);
}

// A fetched page goes in only when it is the bank log, whole: its guild key and its list of entries
// (empty or not), the list and the page closed, no entry cut. Anything else asks for a sign-in, or was
// cut short; neither adds a paste.
TEST(FetchOutcome, OnlyAWholeBankLogPageIsAdded) {
    const std::string address = "https://armory.example/guild-bank-log.xml", prolog = "<?xml version=\"1.0\"?>\n",
                      guild = "<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n",
                      entry = "<banklog money=\"5\" player=\"Ann\" ts=\"1700000000000\" type=\"4\"/>\n",
                      list = "<guildBank><banklogs>\n" + entry + "</banklogs></guildBank>\n";
    const std::string signIn = address + ": the armory shows no bank log; sign in again here",
                      cutShort = address + ": the page could not be loaded: the page was cut short";
    const struct {
        const char* scenario;
        std::string page;
        std::string line; // empty: added
    } cases[] = {
        {"a whole page", prolog + "<page>\n" + guild + list + "</page>\n", ""},
        {"an empty list", prolog + "<page>" + guild + "<banklogs>\n</banklogs></page>", ""},
        {"an empty list, one tag", prolog + "<page>" + guild + "<banklogs/></page>", ""},
        {"tag names in other letter case, spaces in end tags",
         prolog + "<Page>" + "<GUILDKEY name=\"Iron Lanterns\"/><BankLogs>" + entry + "</banklogs\n></PAGE >", ""},
        {"a comment and a doctype before the page",
         prolog + "<!-- a > b <html> -->\n<!DOCTYPE page>\n<page>" + guild + list + "</page>", ""},
        {"no XML", "Service Unavailable", signIn},
        {"an XHTML sign-in",
         prolog + "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><form/></body></html>", signIn},
        {"the armory's error page", prolog + "<page><errorhtml type=\"noCharacter\"/></page>", signIn},
        {"a guild key without a list", prolog + "<page>" + guild + "</page>", signIn},
        {"a list without a guild key", prolog + "<page>" + list + "</page>", signIn},
        {"names that only begin alike", prolog + "<page><guildKeyring/><banklogs></banklogs></page>", signIn},
        {"the elements only in a comment", prolog + "<!-- " + guild + "<banklogs/> -->", signIn},
        {"the list not closed", prolog + "<page>" + guild + "<banklogs>\n" + entry + "</page>", cutShort},
        {"the page not closed", prolog + "<page>" + guild + list, cutShort},
        {"an entry not closed",
         prolog + "<page>" + guild + "<banklogs>\n<banklog money=\"5\" player=\"Ann\" type=\"4\">\n</banklogs></page>",
         cutShort},
    };
    const testing::TempFolder folder;
    for (const auto& c : cases) {
        SqliteLedger ledger((folder / (std::string(c.scenario) + ".sqlite")).string(),
                            SqliteDatabase::Access::ReadWrite);
        const FetchOutcome outcome = AddFetchedPage(ledger, c.page, address, "sign in again here", 0);
        EXPECT_EQ(ledger.pastes().size(), c.line.empty() ? 1U : 0U) << c.scenario;
        EXPECT_EQ(outcome.result, c.line.empty()     ? FetchResult::Added
                                  : c.line == signIn ? FetchResult::NoBankLog
                                                     : FetchResult::NotLoaded)
            << c.scenario;
        if (!c.line.empty()) {
            EXPECT_EQ(outcome.keptLines, std::vector<std::string>{c.line}) << c.scenario;
        }
    }
}

} // namespace
} // namespace coffer
