// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli's fetch form: the armory's bank log page downloaded and added to the ledger as one paste,
// once or on a schedule until SIGINT, SIGTERM or SIGHUP.

#include "cli/cli_alert_telling.h"
#include "ledger/fetch_outcome.h"
#include "ledger/ledger_store.h"
#include "net/network_downloader.h"
#include "shell/cookie_file.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <atomic>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

struct FetchCliOptions {
    std::string address;                       // as given; empty: no fetch
    std::string cookieFile;                    // empty: no cookies
    std::optional<std::chrono::seconds> every; // nothing: one fetch
};

QList<QCommandLineOption> FetchCliOptionList();
const char* FetchCliUsage();

// Reads the fetch options the parser found; returns a message for the user when they are misused.
std::string ReadFetchCliOptions(const QCommandLineParser& parser, FetchCliOptions& options);

// Opens the ledger `name` for writing, creating it or bringing it up to date, waiting for another program's
// lock and upgrading while `going` says so; may change `name` to one that gives a password it asked for.
// Throws as OpenLedger does, AddCancelled for an upgrade that `going` stopped.
using LedgerOpener = std::function<std::unique_ptr<LedgerStore>(std::string& name, const std::function<bool()>& going)>;

// The fetches of one run. The ledger is opened for each fetch, so that a loop's memory does not grow
// with the ledger's cache and a lost server connection is made anew; the cookie file is read again
// before each fetch, so that cookies exported anew count at the next one (a fetch whose file cannot be
// read then fails). Lives on the thread of the application object.
class FetchSession {
  public:
    // Reads the cookie file, warning when other users can read it. Throws std::runtime_error for it.
    FetchSession(const std::string& ledger, const FetchCliOptions& options, const AlertTellingOptions& alerts,
                 bool quiet, std::ostream& err);
    ~FetchSession();

    // Opens the ledger with `open` before the first fetch, which keeps it for its add (later fetches, and a
    // first one without this, open it as OpenLedger does). stop() gives up a wait for a lock or an upgrade.
    // Throws as `open` does.
    void openFirst(const LedgerOpener& open);

    // One fetch: the download, the add, its lines and its alerts. Nothing when stop() ended it, with nothing of its
    // page added.
    std::optional<FetchResult> fetchOnce();
    // Waits until `time`; false when stop() came first.
    bool waitUntil(std::chrono::steady_clock::time_point time);
    // From any thread: ends the opening, the fetch in progress (its add, until the add commits) or the
    // wait.
    void stop();
    bool stopped() const { return stopped_; }

  private:
    FetchOutcome fetchPage();
    std::unique_ptr<LedgerStore> openLedger();

    std::string ledgerName_;
    FetchCliOptions options_;
    std::string recordAddress_;
    bool quiet_;
    std::ostream& err_;
    std::unique_ptr<LedgerStore> opened_; // opened before the first fetch, for its add
    std::vector<Cookie> cookies_;
    NetworkDownloader downloader_;
    AlertTeller teller_;
    std::atomic<bool> stopped_ = false;
};

// --fetch, the ledger opened first with `openFirst`; returns the exit status.
int RunFetchForm(const std::string& ledger, const FetchCliOptions& options, const AlertTellingOptions& alerts,
                 bool quiet, std::ostream& err, const LedgerOpener& openFirst);

// For the program's signal thread: when a fetch form runs, has it end (true); else false.
bool EndFetchOnSignal();

} // namespace coffer
