// SPDX-License-Identifier: MIT
#include "shell/end_on_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <sys/wait.h>
#include <unistd.h>

namespace coffer {
namespace {

// The first ending signal (SIGHUP) asks for the end; a second (SIGTERM) ends the program by that signal at
// once, the request never carried out (the window's thread busy). cli_signal_test covers the rest.
TEST(EndOnSignals, ASecondSignalEndsAtOnce) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10); // ends it by another signal when the ending ones do not
        std::promise<void> asked;
        EndOnSignals([&asked] { return asked.set_value(), true; });
        ::kill(::getpid(), SIGHUP);
        asked.get_future().wait();
        ::kill(::getpid(), SIGTERM);
        while (true)
            ::pause();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

} // namespace
} // namespace coffer
