// SPDX-License-Identifier: MIT
#include "ledger/fetch_outcome.h"

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
    const FetchOutcome added = RefusedOnFailure(
        address, [] { return FetchOutcome{.result = FetchResult::NoBankLog, .statusLines = {}, .keptLines = {}}; });
    EXPECT_EQ(added.result, FetchResult::NoBankLog);
}

} // namespace
} // namespace coffer
