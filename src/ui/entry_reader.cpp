// SPDX-License-Identifier: MIT
#include "ui/entry_reader.h"

#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"
#include "ui/engine_text.h"

#include <QMetaObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace coffer {

struct EntryReader::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    std::string ledger;
    bool reopen = false;
    EntryReader* reader = nullptr; // null once the reader is gone: nothing is handed back then

    // Hands a reply to the window's thread unless the reader is gone.
    void reply(const std::function<void(EntryReader&)>& call) {
        const std::lock_guard lock(mutex);
        if (reader != nullptr)
            QMetaObject::invokeMethod(
                reader, [target = reader, call] { call(*target); }, Qt::QueuedConnection);
    }
};

EntryReader::EntryReader(QObject* parent) : QObject(parent), state_(std::make_shared<State>()) {
    state_->reader = this;
    std::thread([state = state_] {
        std::unique_ptr<LedgerStore> store;
        for (;;) {
            Task task;
            std::string ledger;
            {
                std::unique_lock lock(state->mutex);
                state->wake.wait(lock, [&] { return state->reader == nullptr || !state->tasks.empty(); });
                if (state->reader == nullptr)
                    return;
                task = std::move(state->tasks.back());
                state->tasks.pop_back();
                if (std::exchange(state->reopen, false))
                    store.reset();
                ledger = state->ledger;
            }
            try {
                if (!store)
                    store = OpenExistingLedger(ledger);
                Reply done = task(*store);
                state->reply([done = std::move(done)](EntryReader&) { done(); });
            } catch (const std::exception& error) {
                store.reset(); // opened again for the next task: a server may be back
                state->reply([message = ToQString(error.what())](EntryReader& reader) { emit reader.failed(message); });
            }
            // A file is closed while there is nothing to read: it is not held open under its other
            // readers and writers, which may change it, or its folder's rights, meanwhile. A server's
            // connection stays, with what the store keeps for the next search.
            const std::lock_guard lock(state->mutex);
            if (state->tasks.empty() && !IsServerLedger(ledger))
                store.reset();
        }
    }).detach();
}

EntryReader::~EntryReader() {
    const std::lock_guard lock(state_->mutex);
    state_->reader = nullptr;
    state_->tasks.clear();
    state_->wake.notify_one();
}

void EntryReader::open(const std::string& ledger) {
    const std::lock_guard lock(state_->mutex);
    state_->ledger = ledger;
    state_->reopen = true;
    state_->tasks.clear();
}

void EntryReader::run(Task task) {
    const std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    state_->wake.notify_one();
}

} // namespace coffer
