// SPDX-License-Identifier: MIT
#pragma once
// Test helper: the event loop run until a condition holds.

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace coffer::test {

// Runs the event loop until `done` holds or the time is up; true when it holds. Unlike QTest::qWaitFor
// it never sleeps between events, so the embedded browsers' work is not held up.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

} // namespace coffer::test
