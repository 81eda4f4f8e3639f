// SPDX-License-Identifier: MIT
#pragma once
// What one fetch of the armory's bank log page came to, and the lines that tell it, however the page
// was downloaded: coffer-cli's --fetch and the window's watch add the page and tell it alike. The
// page's paste record, and every line, names the page's address as ShownAddress shows it.

#include "ledger/ledger_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

enum class FetchResult {
    Added,     // the page went in as a paste (also with nothing new, or a gap opened)
    NoBankLog, // the page is no bank log (see fetched_page.h): the armory wants a sign-in
    NotLoaded, // the download failed, or the page was cut short
    Refused,   // the ledger refused the paste, or could not be opened or written
};

struct FetchOutcome {
    FetchResult result = FetchResult::Added;
    std::vector<std::string> statusLines; // what went in, as --add tells it of a file
    std::vector<std::string> keptLines;   // the failure, or the gaps the paste opened: said even when quiet
    std::vector<FiredAlert> alerts;       // what the ledger's rules fired on the paste
};

// Adds the downloaded page as one paste, as --add adds a file, when it is a whole bank log: a page
// that is none tells the officer to `signInAgain` ("sign in again and export the cookies"), and one cut
// short (also inside an entry) is not loaded; neither is added. Throws LedgerError when the ledger
// refuses it (another guild, a lock, a file it cannot write), and AddCancelled when `watch` stops the
// add.
FetchOutcome AddFetchedPage(LedgerStore& store, std::string_view page, const std::string& address,
                            std::string_view signInAgain, std::int64_t addedAt, const AddWatch& watch = {});

// What `add` (opening the ledger and adding the page) comes to; its failure is the refused outcome,
// whatever it is, so that a fetch that runs unattended never ends the program: the ledger's refusal, a
// file it cannot open, too little memory, anything else. AddCancelled passes through.
FetchOutcome RefusedOnFailure(const std::string& address, const std::function<FetchOutcome()>& add);

FetchOutcome FetchNotLoaded(const std::string& address, const std::string& reason);
FetchOutcome FetchRefused(const std::string& address, const std::string& reason);

// The lines to show, each after the local time `at` (milliseconds since 1970 UTC) as
// "YYYY-MM-DD HH:MM:SS "; `quiet` leaves out the status lines.
std::vector<std::string> FetchLines(const FetchOutcome& outcome, std::int64_t at, bool quiet);

} // namespace coffer
