// SPDX-License-Identifier: MIT
#pragma once
// The one way the window's jobs run their work off the window's thread: one piece of work at a time on a
// thread of its own, which can be asked to stop. What the work tells comes back to the window's thread
// through `post`, in order, and `finished` follows once the thread has ended.

#include <QObject>
#include <functional>
#include <memory>
#include <stop_token>

class QThread;

namespace coffer {

class WorkerThread : public QObject {
    Q_OBJECT
  public:
    explicit WorkerThread(QObject* parent = nullptr);
    ~WorkerThread() override; // stops the work in progress and waits for it

    bool running() const { return thread_ != nullptr; }
    // Ignored while work is going.
    void start(std::function<void(std::stop_token)> work);
    // The work's stop token is stopped; the work ends at its next look at it.
    void stop() { stop_.request_stop(); }
    // Calls `call` on this object's thread, after what was posted before; dropped once this is gone.
    void post(std::function<void()> call);
    // Blocks until the work in progress has ended, without stopping it: `finished` then waits in this
    // object's queue, behind what the work posted and ahead of what comes later.
    void waitForEnd() const;

  signals:
    void finished();

  private:
    std::unique_ptr<QThread> thread_;
    std::stop_source stop_;
};

} // namespace coffer
