// SPDX-License-Identifier: MIT
#pragma once
// Keeps the Guild Ledger panel up to date with what other programs add to the ledger in use (coffer-cli
// fetching on a timer, another officer on a shared ledger). A file is looked at every second without
// being opened; a server is heard through a listening connection of its own, and read every minute
// besides, since writers of older versions notify nothing. On a change the ledger is read off the
// window's thread and shown, with a line in the panel's status, once the window is idle: no dialog open,
// no run, import or add in progress. What the window adds itself it shows as it always did, without that
// line. A read that fails says so once and is tried again every 30 seconds. Nothing is looked at while
// no ledger is shown, or once the window has been minimised for a minute.

#include "ui/base/worker_thread.h"
#include "ui/ledger/ledger_job.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;
class QWidget;

namespace coffer {

class ActivityState;
class LedgerController;
class LedgerPanel;
class PostgresListener;

class LedgerChangeWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::seconds kLookEvery{1}, kReadServerEvery{60}, kRetryEvery{30}, kSleepAfter{60};

    LedgerChangeWatch(LedgerController& ledger, LedgerPanel& panel, ActivityState& activity, QWidget& window,
                      QObject* parent = nullptr);
    ~LedgerChangeWatch() override;

    // Whether the ledger is watched now, and whether a server ledger's listening connection is up.
    bool watching() const { return lookTimer_.isActive(); }
    bool listening() const { return listener_ != nullptr; }
    // Whether the lists show all that the watch knows of: no change waits to be read, and a server
    // ledger's connection listens. Tests wait for it before another program adds.
    bool upToDate() const;
    // Test hook: the time the window stays minimised before the watch stops, shorter than a minute.
    void setSleepAfterForTesting(std::chrono::milliseconds delay) { sleepTimer_.setInterval(delay); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    using Counts = std::optional<std::pair<std::uint64_t, std::size_t>>;
    static Counts CountsOf(const std::optional<LedgerSummary>& summary);

    void follow(); // watches, or stops, as the ledger shown and the window are
    void look();
    bool windowIdle() const;
    void onRead();
    void listen();
    void heard(const std::string& uri, std::shared_ptr<PostgresListener> listener);
    void takeNotices();
    void stopListening();

    LedgerController& ledger_;
    LedgerPanel& panel_;
    ActivityState& activity_;
    QWidget& window_;
    QTimer lookTimer_;
    QTimer sleepTimer_;
    bool asleep_ = false;
    std::string path_;              // the ledger watched, as it is opened
    std::string seen_, lookAtRead_; // looks at a file: the last read, and the one before the read going on
    bool changed_ = false;          // a change of a server ledger to read
    Counts shownAtRead_;            // what the lists showed as the read going on began
    QElapsedTimer lastRead_;        // of a server ledger
    QElapsedTimer failedAt_;        // the last read that failed, while reads fail
    QString failure_;               // what the status says of it
    QElapsedTimer listenFailedAt_;  // the last try to listen that failed
    std::shared_ptr<PostgresListener> listener_;
    std::unique_ptr<QSocketNotifier> notifier_;
    LedgerJob job_;
    WorkerThread connector_; // last: it ends a connection being made, which it hands to this, before it goes
};

} // namespace coffer
