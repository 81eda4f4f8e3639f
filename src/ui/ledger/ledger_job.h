// SPDX-License-Identifier: MIT
#pragma once
// The window's work on a guild ledger, on a worker thread so that the window stays responsive: reading
// what the ledger holds, creating one, and adding a paste to it. One action at a time; an add shows its
// progress through its steps (first that of bringing an older ledger up to date, where it does), tells when it
// waits for another program's lock, and can be stopped in any step but its commit, also while it waits for a
// server's lock, which leaves the ledger as it was. Results arrive on the window's thread with `finished`.

#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ui/base/log_text.h"
#include "ui/base/worker_thread.h"

#include <QObject>
#include <memory>
#include <optional>
#include <string>

namespace coffer {

// Why nothing can be added to the ledger file, in a few words ("read-only file or folder"), or "" when
// it can be written. A server ledger's rights are the server's to tell, at the add.
std::string LedgerUnwritableReason(const std::string& file);
// The same as a notice that names the file and says what can still be done with it, or "".
std::string LedgerWriteRefusal(const std::string& file);

class LedgerJob : public QObject {
    Q_OBJECT
  public:
    struct Results {
        std::string file;
        std::optional<LedgerSummary> summary; // none when there is no file yet or it could not be read
        std::vector<HourCount> hours;         // the entries per hour, with the summary
        std::optional<AddReport> added;       // of an add that went in
        std::string error;                    // why the action failed, for the user
        bool cancelled = false;               // an add stopped by `cancel`
        bool needsPassword = false;           // the ledger's server wants a password that was not given
    };

    explicit LedgerJob(QObject* parent = nullptr);

    bool running() const { return worker_.running(); }
    // Reads the ledger's totals, pastes and gaps; with `create`, makes a new ledger first when there is
    // no file. Ignored while an action is going, as are the others.
    void read(const std::string& file, bool create = false);
    // Adds the text as one paste (creating the file when missing), then reads the ledger. `fileName`
    // names where the text came from, "" for text pasted or typed.
    void add(const std::string& file, LogText text, const std::string& fileName, std::int64_t addedAt);
    // Stops an add as soon as it can, also while it waits for a lock; it then fails as cancelled. Once its
    // step Commit has begun the add is done.
    void cancel() { worker_.stop(); }
    Results takeResults();

  signals:
    // Emitted on the add's own thread as each step of it begins, before the add goes on: a connection on
    // the window's thread hears of it later.
    void stepBegins(coffer::AddStep step);
    void progressChanged(int percent);        // the share of the add done, through its steps up to its commit
    void upgradeProgressChanged(int percent); // the share done of bringing an older ledger up to date
    void waitingForLock();                    // once an action has waited a second for another program
    void finished();

  private:
    void start(std::function<void(Results&, const std::stop_token&)> work);

    Results results_;
    WorkerThread worker_; // last: it ends the work, which fills the results, before they go
};

} // namespace coffer
