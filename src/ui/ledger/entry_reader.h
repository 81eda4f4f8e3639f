// SPDX-License-Identifier: MIT
#pragma once
// Reads a ledger for the entries list off the window's thread, on a thread of its own with a connection
// of its own (to a file, open while there are tasks to run): each task runs there with the store, newest task first (a
// list scrolled on asks for the rows now in view before those it passed), and hands back what the window does with its
// result. The reader owns its thread: as it goes it stops the task in progress through the store's stop of its reads
// (on a server, a cancel request), and waits for the thread to end.

#include "ledger/ledger_store.h"

#include <QObject>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

namespace coffer {

class EntryReader : public QObject {
    Q_OBJECT
  public:
    // What to do on the window's thread with a task's result.
    using Reply = std::function<void()>;
    // Runs with the ledger's store; what it returns runs on the window's thread. An error of the store
    // (or of opening it) goes to `failed` instead, or to the task's own failure.
    using Task = std::function<Reply(LedgerStore& store)>;

    explicit EntryReader(QObject* parent = nullptr);
    ~EntryReader() override; // stops, and waits for the thread to end

    // The ledger the next tasks read. Another ledger drops the tasks not started yet, telling the failure of
    // each that has one; the same ledger again (a refresh) keeps them, and its connection.
    void open(const std::string& ledger);
    // A task of the list in view (a count, a page): skipped once the view has changed before it starts,
    // stopped when the view changes while it runs.
    void runForView(Task task);
    // What the window's thread hears of a task that failed: the message.
    using Failure = std::function<void(const QString& message)>;
    // A task the user asked for (a copy, an export): it runs whatever the view does. Its failure (or that
    // of opening the ledger for it) goes to `failure` when one is given, else to `failed`.
    void run(Task task, Failure failure = {});
    // The list in view changed (a new search, another ledger): its tasks are no longer wanted.
    void viewChanged();
    // Nothing is wanted any more (the window is closing): the task in progress stops at its next read, the
    // others are dropped, and nothing more is handed back or run. An export stopped so leaves its file as it was.
    void stop();

  signals:
    void failed(const QString& message);

  private:
    struct State;
    void read(const std::stop_token& stopped);

    std::unique_ptr<State> state_;
    std::jthread thread_; // last: it ends before the state goes
};

} // namespace coffer
