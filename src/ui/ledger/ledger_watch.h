// SPDX-License-Identifier: MIT
#pragma once
// The watch of the armory's bank log page: it fetches the page at once and then every few minutes,
// through its PageFetcher, and adds each page to the ledger in use as a paste of its own, off the
// window's thread, telling each outcome with the lines `coffer-cli --fetch` prints. A fetch that comes
// due while the window works (an import, a run, an add) waits until the work ends; its own add is the
// window's foreground work, as a manual add is, until its thread has ended. A failure never stops the
// watch; a stop during an add ends the add as soon as it can and tells what it came to.

#include "ledger/fetch_outcome.h"
#include "ledger/ledger_file.h"
#include "ui/base/activity.h"
#include "ui/base/worker_thread.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace coffer {

class PageFetcher;

class LedgerWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMinMinutes = 1;
    static constexpr int kMaxMinutes = 1440;
    static constexpr int kDefaultMinutes = 15; // until the user chooses another interval
    static constexpr qsizetype kLinesKept = 50;
    static constexpr int kFailuresTold = 3; // failures in a row after which the navigation tells of them

    // The window's ledger in use, and whether it is being read or added to by the window itself.
    struct Ledger {
        std::function<std::string()> path;
        std::function<bool()> busy;
    };

    LedgerWatch(std::unique_ptr<PageFetcher> fetcher, ActivityState& activity, Ledger ledger,
                QObject* parent = nullptr);
    ~LedgerWatch() override;

    // Watches the page at `address` (fetched and kept without user information or fragment, named in the
    // lines and paste records as ShownAddress shows it), fetching it at once and then every `minutes`;
    // false, watching nothing, when the address is not an http(s) one.
    bool start(const QString& address, int minutes);
    void setMinutes(int minutes);
    // A fetch in progress is abandoned. An add in progress is stopped, before its commit when it can be
    // (which leaves the ledger as it was): the watch is stopping until the add's thread has ended, then
    // tells what the add came to. A new start meanwhile fetches once the add has ended.
    void stop();
    // Abandons a fetch in flight and opens the watched page anew `after` from now: the browser's cache,
    // as it is cleared, holds every request made meanwhile for good.
    void reopenPage(std::chrono::milliseconds after);
    bool watching() const { return !address_.isEmpty(); }
    // A fetched page is being added, until the add's thread has ended; stopping: by a watch since stopped.
    bool adding() const { return stage_ == Stage::Adding; }
    bool stopping() const { return adding() && !watching(); }
    const QString& address() const { return address_; }
    const std::string& shownAddress() const { return recordAddress_; }
    int minutes() const { return minutes_; }
    const QDateTime& lastFetch() const { return lastFetch_; }
    QDateTime nextFetch() const;
    // The lines of the last fetches, oldest first, each as `coffer-cli --fetch` prints it.
    const QStringList& lines() const { return lines_; }
    // Takes the lines kept in `file` (readable by the user alone), and keeps them there from now on, so
    // that they outlast the program: a later watch of the same page goes on from them.
    void keepLinesIn(std::filesystem::path file);
    int failuresInARow() const { return failures_; }
    QString lastFailure() const { return failures_ > 0 && !lines_.isEmpty() ? lines_.constLast() : QString(); }
    // A fetch, or the add of its page, is due but waits for the window's work to end.
    bool waitingForWindow() const { return waitTimer_.isActive(); }

    // Test hook: the span between fetches, shorter than the least the window offers, for tests that cannot
    // wait a minute. The next start() or setMinutes() sets it back.
    void setIntervalForTesting(std::chrono::milliseconds interval);

  signals:
    void changed(); // what the Guild Ledger panel shows of the watch
    // Emitted on the add's own thread as each step of the add begins, before the add goes on.
    void stepBegins(coffer::AddStep step);
    // A page went into the ledger `file`, which now holds `summary`.
    void added(const std::string& file, const LedgerSummary& summary, const std::vector<HourCount>& hours);
    // That page's add fired these alerts.
    void alertsFired(const std::vector<coffer::FiredAlert>& alerts);

  private:
    enum class Stage { Idle, Fetching, PageHere, Adding };
    struct AddResult {
        std::string file;
        std::string address;                 // as the lines name it
        std::optional<FetchOutcome> outcome; // none when a stop ended the add with nothing added
        std::optional<LedgerSummary> summary;
        std::vector<HourCount> hours;
    };

    bool windowBusy() const;
    void startWhenFree(); // the next step of a fetch, now or once the window's work ends
    void fetchWhenDue();  // from the page as it is, or from one opened anew
    void openPage();
    void dropPage();
    void fetch();
    void failFetch(const QString& reason);
    void addPage();
    void onAdded();
    void tell(const FetchOutcome& outcome);
    void keep(const std::vector<std::string>& lines);

    std::unique_ptr<PageFetcher> fetcher_;
    ActivityState& activity_;
    Ledger ledger_;
    bool pageReady_ = false;
    QString address_;
    std::string recordAddress_;
    int minutes_ = kDefaultMinutes;
    std::chrono::milliseconds interval_{0};
    QTimer dueTimer_;  // the next fetch
    QTimer waitTimer_; // looks again whether the window's work has ended
    QTimer reopenTimer_;
    Stage stage_ = Stage::Idle;
    bool due_ = false;
    std::string pageText_;
    QDateTime lastFetch_;
    QStringList lines_;
    std::filesystem::path linesFile_; // empty: the lines go with the program
    int failures_ = 0;
    AddResult result_;
    WorkerThread worker_; // last: it ends the add, which fills the result, before it goes
};

} // namespace coffer
