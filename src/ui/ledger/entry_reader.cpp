// SPDX-License-Identifier: MIT
#include "ui/ledger/entry_reader.h"

#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"
#include "ui/base/engine_text.h"

#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

namespace coffer {
namespace {

// The view of a task the user asked for: no change of the view makes it stale.
constexpr std::uint64_t kAsked = std::numeric_limits<std::uint64_t>::max();

} // namespace

struct EntryReader::State {
    struct Queued {
        Task task;
        std::uint64_t view = kAsked; // the view it was run for
        Failure failure;
    };

    std::mutex mutex;
    std::condition_variable_any wake;
    std::deque<Queued> tasks;
    std::string ledger;
    bool reopen = false;
    EntryReader* reader = nullptr; // null once stopped: nothing is handed back then
    // The view now, and that of the task running: read by the running task's store as it reads.
    std::atomic<std::uint64_t> view = 0, running = kAsked;

    bool stale(std::uint64_t taskView) const { return taskView != kAsked && taskView != view; }

    // Hands a reply to the window's thread unless the reader has stopped.
    void reply(const std::function<void(EntryReader&)>& call) {
        const std::lock_guard lock(mutex);
        if (reader != nullptr)
            QMetaObject::invokeMethod(
                reader, [target = reader, call] { call(*target); }, Qt::QueuedConnection);
    }
};

EntryReader::EntryReader(QObject* parent)
    : QObject(parent), state_(std::make_unique<State>()),
      thread_([this](const std::stop_token& stopped) { read(stopped); }) {
    state_->reader = this;
}

EntryReader::~EntryReader() {
    stop(); // the thread is then joined, before the state goes
}

void EntryReader::read(const std::stop_token& stopped) {
    State& state = *state_;
    std::unique_ptr<LedgerStore> store;
    std::string ledger; // the store's
    for (;;) {
        State::Queued next;
        {
            std::unique_lock lock(state.mutex);
            // A file is closed while there is nothing to read: it is not held open under its other
            // readers and writers, which may change it, or its folder's rights, meanwhile. A server's
            // connection stays, with what the store keeps for the next search.
            if (state.tasks.empty() && !IsServerLedger(ledger))
                store.reset();
            state.wake.wait(lock, stopped, [&] { return !state.tasks.empty(); });
            if (stopped.stop_requested())
                return;
            next = std::move(state.tasks.back());
            state.tasks.pop_back();
            if (state.stale(next.view))
                continue;
            state.running = next.view;
            if (std::exchange(state.reopen, false))
                store.reset();
            ledger = state.ledger;
        }
        try {
            if (!store) {
                store = OpenExistingLedger(ledger);
                store->stopReadsWhen(
                    [&state, &stopped] { return stopped.stop_requested() || state.stale(state.running); });
            }
            Reply done = next.task(*store);
            state.reply([done = std::move(done)](EntryReader&) { done(); });
        } catch (const std::exception& error) {
            if (stopped.stop_requested() || state.stale(next.view))
                continue;  // stopped, or failed, when no one wanted it any more: the store is as good as ever
            store.reset(); // opened again for the next task: a server may be back
            // An empty message would read as a success to a task's own failure.
            QString message = ToQString(error.what());
            if (message.isEmpty())
                message = QStringLiteral("The ledger could not be read.");
            state.reply([failure = std::move(next.failure), message](EntryReader& reader) {
                if (failure)
                    failure(message);
                else
                    emit reader.failed(message);
            });
        }
    }
}

void EntryReader::stop() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->reader = nullptr;
        state_->tasks.clear();
    }
    thread_.request_stop(); // wakes the thread, and stops the store's read in progress
}

void EntryReader::open(const std::string& ledger) {
    std::vector<Failure> dropped;
    {
        const std::lock_guard lock(state_->mutex);
        if (ledger == state_->ledger)
            return;
        state_->ledger = ledger;
        state_->reopen = true;
        for (State::Queued& task : state_->tasks)
            if (task.failure)
                dropped.push_back(std::move(task.failure));
        state_->tasks.clear();
    }
    for (Failure& failure : dropped)
        QMetaObject::invokeMethod(
            this,
            [failure = std::move(failure)] {
                failure(QStringLiteral("Another ledger was opened before the entries were read."));
            },
            Qt::QueuedConnection);
}

void EntryReader::runForView(Task task) {
    const std::lock_guard lock(state_->mutex);
    if (state_->reader == nullptr)
        return;
    state_->tasks.push_back({.task = std::move(task), .view = state_->view, .failure = {}});
    state_->wake.notify_one();
}

void EntryReader::run(Task task, Failure failure) {
    const std::lock_guard lock(state_->mutex);
    if (state_->reader == nullptr)
        return;
    state_->tasks.push_back({.task = std::move(task), .failure = std::move(failure)});
    state_->wake.notify_one();
}

void EntryReader::viewChanged() {
    ++state_->view;
}

} // namespace coffer
