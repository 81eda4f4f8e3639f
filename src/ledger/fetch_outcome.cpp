// SPDX-License-Identifier: MIT
#include "ledger/fetch_outcome.h"

#include "ledger/fetched_page.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_gaps.h"
#include "ledger/ledger_open.h"
#include "ledger/local_time_text.h"

#include <filesystem>
#include <new>
#include <utility>

namespace coffer {

FetchOutcome AddFetchedPage(LedgerStore& store, std::string_view page, const std::string& address,
                            std::string_view signInAgain, std::int64_t addedAt, const AddWatch& watch) {
    constexpr const char* kCutShort = "the page was cut short";
    switch (KindOfFetchedPage(page)) {
    case FetchedPageKind::NoBankLog:
        return {.result = FetchResult::NoBankLog,
                .statusLines = {},
                .keptLines = {address + ": the armory shows no bank log; " + std::string(signInAgain)},
                .alerts = {}};
    case FetchedPageKind::CutShort:
        return FetchNotLoaded(address, kCutShort);
    case FetchedPageKind::BankLog:
        break;
    }
    Paste paste = ReadPaste(page, watch.stop);
    if (paste.unfinished > 0)
        return FetchNotLoaded(address, kCutShort);
    const AddReport report = AddPasteToLedger(store, std::move(paste), address, addedAt, watch);
    FetchOutcome outcome{.result = FetchResult::Added,
                         .statusLines = AddStatusLines(address, report),
                         .keptLines = {},
                         .alerts = report.outcome.alerts};
    for (const TimeGap& gap : report.outcome.openedGaps)
        outcome.keptLines.push_back(GapText(gap));
    return outcome;
}

FetchOutcome RefusedOnFailure(const std::string& address, const std::function<FetchOutcome()>& add) {
    try {
        return add();
    } catch (const AddCancelled&) {
        throw;
    } catch (const LedgerError& error) {
        return FetchRefused(address, error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        return FetchRefused(address, CannotOpenLedger(error.path1(), error.code()).what());
    } catch (const std::bad_alloc&) {
        return FetchRefused(address, "there is not enough memory for this page");
    } catch (const std::exception& error) {
        return FetchRefused(address, error.what());
    }
}

FetchOutcome FetchNotLoaded(const std::string& address, const std::string& reason) {
    return {.result = FetchResult::NotLoaded,
            .statusLines = {},
            .keptLines = {address + ": the page could not be loaded: " + reason},
            .alerts = {}};
}

FetchOutcome FetchRefused(const std::string& address, const std::string& reason) {
    return {.result = FetchResult::Refused,
            .statusLines = {},
            .keptLines = {address + ": refused: " + reason},
            .alerts = {}};
}

std::vector<std::string> FetchLines(const FetchOutcome& outcome, std::int64_t at, bool quiet) {
    const std::string time = LocalTimeText(at) + ' ';
    std::vector<std::string> lines;
    for (const auto* group : {&outcome.statusLines, &outcome.keptLines})
        if (group != &outcome.statusLines || !quiet)
            for (const std::string& line : *group)
                lines.push_back(time + line);
    return lines;
}

} // namespace coffer
