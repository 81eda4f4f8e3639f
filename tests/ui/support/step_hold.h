// SPDX-License-Identifier: MIT
#pragma once
// Holds the window's add on its own thread as each of some steps begins, until the test's thread has
// looked at the window (and clicked what it clicks) and released it: a step reached, not a moment timed.

#include "ui/ledger/ledger_job.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace coffer::test {

class StepHold {
  public:
    StepHold(LedgerJob& job, std::vector<AddStep> at);
    ~StepHold(); // releases the add for good
    StepHold(const StepHold&) = delete;
    StepHold& operator=(const StepHold&) = delete;

    // The step the add is held at, once it is, with what the add told the window before it handled; none
    // when the add ends first.
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
    std::optional<AddStep> held() const;

    std::shared_ptr<State> state_; // shared with the connection, which the add's thread may still be in
    LedgerJob& job_;
    QMetaObject::Connection connection_;
};

} // namespace coffer::test
