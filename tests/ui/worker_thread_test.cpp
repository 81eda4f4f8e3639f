// SPDX-License-Identifier: MIT
// The window's worker thread: one piece of work at a time, what it posts handed back in order before
// `finished` (and, once its end was waited for, ahead of what is posted then), a stop that reaches the work,
// and a destruction that stops and waits for it.
#include "ui/base/worker_thread.h"

#include "support/run_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace coffer {
namespace {

using test::RunUntil;

TEST(WorkerThread, RunsOneWorkAtATimeAndHandsBackInOrderBeforeFinished) {
    WorkerThread worker;
    std::vector<int> heard;
    QObject::connect(&worker, &WorkerThread::finished, [&] { heard.push_back(-1); });
    std::promise<void> release;
    worker.start([&, released = release.get_future().share()](const std::stop_token&) {
        released.wait();
        for (int i = 0; i < 100; ++i)
            worker.post([&heard, i] { heard.push_back(i); });
    });
    bool secondRan = false;
    worker.start([&](const std::stop_token&) { secondRan = true; }); // ignored: the first still runs
    EXPECT_TRUE(worker.running());
    release.set_value();
    worker.waitForEnd(); // what is posted from here on comes after `finished`
    worker.post([&heard] { heard.push_back(-2); });
    ASSERT_TRUE(RunUntil([&] { return heard.size() == 102; }, 5000));
    std::vector<int> expected;
    for (int i = 0; i < 100; ++i)
        expected.push_back(i);
    expected.insert(expected.end(), {-1, -2});
    EXPECT_EQ(heard, expected);
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(worker.running());
}

TEST(WorkerThread, StopReachesTheWorkAndDestructionWaitsForIt) {
    std::atomic<bool> sawStop = false, ended = false;
    {
        WorkerThread worker;
        std::promise<void> started;
        worker.start([&](const std::stop_token& stop) {
            started.set_value();
            while (!stop.stop_requested())
                std::this_thread::yield();
            sawStop = true;
        });
        started.get_future().wait();
        worker.stop();
        ASSERT_TRUE(RunUntil([&] { return !worker.running(); }, 5000));
        EXPECT_TRUE(sawStop);

        // Gone while working: the work is asked to stop and has ended, however long it takes to wind
        // down, when the destructor returns.
        worker.start([&](const std::stop_token& stop) {
            while (!stop.stop_requested())
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ended = true;
        });
    }
    EXPECT_TRUE(ended);
}

} // namespace
} // namespace coffer
