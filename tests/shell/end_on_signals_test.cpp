#include "analysis/scan/temporary_names.h"
#include "shell/end_on_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <sys/wait.h>
#include <unistd.h>

namespace coffer {
namespace {

// The first ending signal (SIGHUP) asks for the end; a second one (SIGTERM) ends the program by that
// signal at once, its temporary files removed, though the request is never carried out (the window's
// thread busy). How the first one ends coffer-cli, which asks nothing, is cli_signal_test's.
TEST(EndOnSignals, ASecondSignalEndsAtOnceWithoutTemporaryFiles) {
    char name[] = "/tmp/coffer-signal-XXXXXX";
    ASSERT_EQ(::close(::mkstemp(name)), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10); // ends it by another signal when the ending ones do not
        std::promise<void> asked;
        EndOnSignals([&asked] { return asked.set_value(), true; });
        {
            const auto naming = LockTemporaryNames();
            AddTemporaryName(name);
        }
        ::kill(::getpid(), SIGHUP);
        asked.get_future().wait();
        ::kill(::getpid(), SIGTERM);
        while (true)
            ::pause();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_NE(::access(name, F_OK), 0);
    ::unlink(name);
}

} // namespace
} // namespace coffer
