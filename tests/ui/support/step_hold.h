// SPDX-License-Identifier: MIT
#pragma once
// Holds the window's add, or the watch's, on its own thread as each of some steps begins, until the test's
// thread has looked at the window (and clicked what it clicks) and released it: a step reached, not a
// moment timed.

#include "ui/ledger/ledger_job.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace coffer {
class LedgerWatch;
}

namespace coffer::test {

class StepHold {
  public:
    StepHold(LedgerJob& job, std::vector<AddStep> at);
    StepHold(LedgerWatch& watch, std::vector<AddStep> at); // of the adds to come while it watches
    ~StepHold();                                           // releases the add for good
    StepHold(const StepHold&) = delete;
    StepHold& operator=(const StepHold&) = delete;

    // The step the add is held at, once it is, with what the add told the window before it handled; none
    // when the add (or the watch, with no add going) ends first.
    std::optional<AddStep> waitHeld();
    void release();

  private:
    struct State {
        std::vector<AddStep> at;
        std::mutex mutex;
        std::condition_variable released;
        std::optional<AddStep> held;
        bool done = false;
    };
    template <typename Adder> StepHold(Adder& adder, std::function<bool()> adding, std::vector<AddStep> at);
    std::optional<AddStep> held() const;

    std::shared_ptr<State> state_; // shared with the connection, which the add's thread may still be in
    std::function<bool()> adding_; // whether a held step may still come
    QMetaObject::Connection connection_;
};

} // namespace coffer::test
