// SPDX-License-Identifier: MIT
#include "tests/ui/support/step_hold.h"

#include "tests/ui/support/main_window_harness.h"

#include <QCoreApplication>
#include <algorithm>

namespace coffer::test {

StepHold::StepHold(LedgerJob& job, std::vector<AddStep> at) : state_(std::make_shared<State>()), job_(job) {
    state_->at = std::move(at);
    connection_ = QObject::connect(
        &job, &LedgerJob::stepBegins, &job,
        [state = state_](AddStep step) {
            std::unique_lock lock(state->mutex);
            if (state->done || std::ranges::find(state->at, step) == state->at.end())
                return;
            state->held = step;
            state->released.wait(lock, [&] { return !state->held || state->done; });
        },
        Qt::DirectConnection);
}

StepHold::~StepHold() {
    QObject::disconnect(connection_);
    std::lock_guard lock(state_->mutex);
    state_->done = true;
    state_->released.notify_all();
}

std::optional<AddStep> StepHold::waitHeld() {
    RunUntil([&] { return held() || !job_.running(); }, 60000);
    const std::optional<AddStep> step = held();
    // The add posted what it told the window before it began the step.
    QCoreApplication::processEvents();
    return step;
}

void StepHold::release() {
    std::lock_guard lock(state_->mutex);
    state_->held.reset();
    state_->released.notify_all();
}

std::optional<AddStep> StepHold::held() const {
    std::lock_guard lock(state_->mutex);
    return state_->held;
}

} // namespace coffer::test
