// SPDX-License-Identifier: MIT
#pragma once
// What the window is doing: one thing at a time, which the user waits for or cancels; every button and
// menu item of the window follows from it.

#include <functional>

namespace coffer {

enum class Activity { Idle, Importing, Analysing, AddingToLedger, Cancelling, Closing };

class ActivityState {
  public:
    // `changed` is called after every change, to set the controls.
    explicit ActivityState(std::function<void()> changed) : changed_(std::move(changed)) {}

    Activity foreground() const { return foreground_; }
    bool idle() const { return foreground_ == Activity::Idle; }
    // The work in progress is to stop at its next step: it was cancelled, or the window is closing.
    bool stopping() const { return foreground_ == Activity::Cancelling || foreground_ == Activity::Closing; }

    // Starts foreground work; the callers start it only when the window is idle.
    void begin(Activity work) { set(work); }
    // Analysing or adding to the ledger becomes Cancelling; anything else stays.
    void cancel();
    // The foreground work has ended: back to Idle, unless the window is closing.
    void end();
    // The window is closing: nothing starts any more, and the work in progress stops.
    void close();

  private:
    void set(Activity work);

    std::function<void()> changed_;
    Activity foreground_ = Activity::Idle;
};

} // namespace coffer
