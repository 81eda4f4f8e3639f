// SPDX-License-Identifier: MIT
#include "ui/base/activity.h"

namespace coffer {

void ActivityState::cancel() {
    if (foreground_ == Activity::Analysing || foreground_ == Activity::AddingToLedger)
        set(Activity::Cancelling);
}

void ActivityState::end() {
    if (foreground_ != Activity::Closing)
        set(Activity::Idle);
}

void ActivityState::close() {
    set(Activity::Closing);
}

void ActivityState::set(Activity work) {
    foreground_ = work;
    changed_();
}

} // namespace coffer
