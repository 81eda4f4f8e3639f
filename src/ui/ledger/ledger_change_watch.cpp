// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_change_watch.h"

#include "ledger/file_change_look.h"
#include "ledger/ledger_open.h"
#include "ledger/postgres_listener.h"
#include "ui/base/activity.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/ledger/ledger_panel.h"

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTime>
#include <QWidget>

namespace coffer {
namespace {

QString ClockNow() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

// What the lists show of a ledger as far as a change goes: every add brings entries or a paste (whose guild
// may be the first), and a ledger never loses either.
LedgerChangeWatch::Counts LedgerChangeWatch::CountsOf(const std::optional<LedgerSummary>& summary) {
    return summary ? std::optional(std::pair{summary->totals.entries, summary->pastes.size()}) : std::nullopt;
}

LedgerChangeWatch::LedgerChangeWatch(LedgerController& ledger, LedgerPanel& panel, ActivityState& activity,
                                     QWidget& window, QObject* parent)
    : QObject(parent), ledger_(ledger), panel_(panel), activity_(activity), window_(window) {
    lookTimer_.setInterval(kLookEvery);
    connect(&lookTimer_, &QTimer::timeout, this, &LedgerChangeWatch::look);
    sleepTimer_.setSingleShot(true);
    sleepTimer_.setInterval(kSleepAfter);
    connect(&sleepTimer_, &QTimer::timeout, this, [this] {
        asleep_ = true;
        follow();
    });
    connect(&job_, &LedgerJob::finished, this, &LedgerChangeWatch::onRead);
    // Once the controller has taken in what it read: it tells of the end of its work first.
    connect(&ledger_, &LedgerController::busyChanged, this, &LedgerChangeWatch::follow, Qt::QueuedConnection);
    connect(&ledger_, &LedgerController::addedInBackground, this, &LedgerChangeWatch::follow);
    window_.installEventFilter(this);
    follow();
}

// The listening connection goes before the notifier's socket is closed under it.
LedgerChangeWatch::~LedgerChangeWatch() {
    stopListening();
}

bool LedgerChangeWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::WindowStateChange) {
        if (!window_.isMinimized()) {
            sleepTimer_.stop();
            if (std::exchange(asleep_, false))
                follow();
        } else if (!asleep_ && !sleepTimer_.isActive()) {
            sleepTimer_.start();
        }
    }
    return QObject::eventFilter(watched, event);
}

void LedgerChangeWatch::follow() {
    if (asleep_ || !ledger_.showsLedger()) {
        lookTimer_.stop();
        stopListening();
        return;
    }
    if (!lookTimer_.isActive()) {
        lookTimer_.start();
        look();
    }
}

bool LedgerChangeWatch::upToDate() const {
    const bool listened = IsServerLedger(path_) ? listening() : LedgerFileLook(path_) == seen_;
    return watching() && !changed_ && !job_.running() && listened;
}

bool LedgerChangeWatch::windowIdle() const {
    return activity_.idle() && !ledger_.busy() && QApplication::activeModalWidget() == nullptr &&
           QApplication::activePopupWidget() == nullptr;
}

void LedgerChangeWatch::look() {
    if (const std::string path = ledger_.path().toStdString(); path != path_) {
        path_ = path;
        stopListening();
        seen_.clear(); // read once: the window's own read of it may have missed a change
        changed_ = true;
        failure_.clear();
        listenFailedAt_.invalidate();
    }
    const bool onServer = IsServerLedger(path_);
    if (onServer) {
        listen();
        changed_ = changed_ || !lastRead_.isValid() ||
                   lastRead_.elapsed() >= std::chrono::milliseconds(kReadServerEvery).count();
    }
    const bool changed = changed_ || (!onServer && LedgerFileLook(path_) != seen_);
    const bool retryDue = failure_.isEmpty() || failedAt_.elapsed() >= std::chrono::milliseconds(kRetryEvery).count();
    if (!changed || job_.running() || !retryDue || !windowIdle())
        return;
    lookAtRead_ = onServer ? std::string() : LedgerFileLook(path_);
    shownAtRead_ = CountsOf(ledger_.shownSummary());
    job_.read(path_);
}

void LedgerChangeWatch::onRead() {
    LedgerJob::Results results = job_.takeResults();
    if (results.file != path_)
        return; // another ledger is watched now, and read anew
    if (!results.error.empty()) {
        failedAt_.start();
        if (failure_.isEmpty()) {
            failure_ = ledger_.refreshFailure(results.error);
            panel_.showStatus(failure_);
        }
        return;
    }
    if (!failure_.isEmpty()) {
        if (panel_.statusText() == failure_)
            panel_.showStatus({});
        failure_.clear();
    }
    // Work that began meanwhile (the window's own add, another ledger chosen) shows what it finds itself,
    // which may be newer than this read: the change is read again once the window is idle.
    if (!windowIdle() || !ledger_.showsLedger() || CountsOf(ledger_.shownSummary()) != shownAtRead_)
        return;
    seen_ = lookAtRead_;
    changed_ = false;
    lastRead_.start();
    if (!results.summary || CountsOf(results.summary) == shownAtRead_)
        return;
    const auto before = static_cast<qint64>(shownAtRead_ ? shownAtRead_->first : 0);
    const auto now = static_cast<qint64>(results.summary->totals.entries);
    ledger_.showAdded(results.file, *results.summary, results.hours);
    panel_.showStatus(QStringLiteral("The ledger changed: %1 new entries (%2).").arg(now - before).arg(ClockNow()));
}

void LedgerChangeWatch::listen() {
    const bool waiting =
        listenFailedAt_.isValid() && listenFailedAt_.elapsed() < std::chrono::milliseconds(kRetryEvery).count();
    if (listener_ || connector_.running() || waiting)
        return;
    // Connecting waits for the server, which may not answer: on a thread of its own.
    connector_.start([this, uri = path_](const std::stop_token&) {
        std::shared_ptr<PostgresListener> listener;
        try {
            listener = std::make_shared<PostgresListener>(uri);
        } catch (const LedgerError&) { // tried again later; the reads every minute say what is wrong
        }
        connector_.post([this, uri, listener] { heard(uri, listener); });
    });
}

void LedgerChangeWatch::heard(const std::string& uri, std::shared_ptr<PostgresListener> listener) {
    if (!listener) {
        listenFailedAt_.start();
        return;
    }
    listenFailedAt_.invalidate();
    if (uri != path_ || !watching())
        return;
    listener_ = std::move(listener);
    notifier_ = std::make_unique<QSocketNotifier>(listener_->socket(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LedgerChangeWatch::takeNotices);
    changed_ = true; // what was added while no one listened
    look();
}

void LedgerChangeWatch::takeNotices() {
    try {
        if (listener_->takeNotices() == 0)
            return;
    } catch (const LedgerError&) { // the connection dropped: listened to anew, and what it missed read
        stopListening();
    }
    changed_ = true;
    look();
}

void LedgerChangeWatch::stopListening() {
    notifier_.reset();
    listener_.reset();
}

} // namespace coffer
