// SPDX-License-Identifier: MIT
#include "ui/base/activity.h"

#include <gtest/gtest.h>

#include <vector>

namespace coffer {
namespace {

// Cancel reaches a run or an add only, a closing window stays closing, and every change sets the controls.
TEST(ActivityState, CancelReachesRunsAndAddsAndNothingReopensAClosingWindow) {
    using enum Activity;
    std::vector<Activity> set;
    ActivityState state([&] { set.push_back(state.foreground()); });
    for (const Activity work : {Analysing, AddingToLedger, Importing, Closing}) {
        state.begin(work);
        state.cancel();
        state.end();
    }
    EXPECT_EQ(set,
              (std::vector{Analysing, Cancelling, Idle, AddingToLedger, Cancelling, Idle, Importing, Idle, Closing}));
}

} // namespace
} // namespace coffer
