// SPDX-License-Identifier: MIT
#include "tests/ui/support/step_hold.h"

#include "tests/ui/support/main_window_harness.h"
#include "ui/ledger/ledger_watch.h"

#include <QCoreApplication>
#include <algorithm>

namespace coffer::test {

template <typename Adder>
StepHold::StepHold(Adder& adder, std::function<bool()> adding, std::vector<AddStep> at)
    : state_(std::make_shared<State>()), adding_(std::move(adding)) {
    state_->at = std::move(at);
    connection_ = QObject::connect(
        &adder, &Adder::stepBegins, &adder,
        [state = state_](AddStep step) {
            std::unique_lock lock(state->mutex);
            if (state->done || std::ranges::find(state->at, step) == state->at.end())
                return;
            state->held = step;
            state->released.wait(lock, [&] { return !state->held || state->done; });
        },
        Qt::DirectConnection);
}

StepHold::StepHold(LedgerJob& job, std::vector<AddStep> at)
    : StepHold(
          job, [&job] { return job.running(); }, std::move(at)) {}

StepHold::StepHold(LedgerWatch& watch, std::vector<AddStep> at)
    : StepHold(
          watch, [&watch] { return watch.watching() || watch.adding(); }, std::move(at)) {}

StepHold::~StepHold() {
    QObject::disconnect(connection_);
    std::lock_guard lock(state_->mutex);
    state_->done = true;
    state_->released.notify_all();
}

std::optional<AddStep> StepHold::waitHeld() {
    RunUntil([&] { return held() || !adding_(); }, 60000);
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
