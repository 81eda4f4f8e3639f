// SPDX-License-Identifier: MIT
#pragma once
// How long a window kept its events waiting, for the window's benchmarks.

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace coffer::bench {

// Records the longest gap between two ticks of a fast timer: how long the window kept events waiting.
class EventGapMeter {
  public:
    EventGapMeter() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { maxGapMs_ = std::max(maxGapMs_, sinceTick_.restart()); });
    }
    void start() {
        maxGapMs_ = 0;
        sinceTick_.start();
        timer_.start();
    }
    qint64 stop() {
        timer_.stop();
        return std::max(maxGapMs_, sinceTick_.elapsed());
    }

  private:
    QTimer timer_;
    QElapsedTimer sinceTick_;
    qint64 maxGapMs_ = 0;
};

} // namespace coffer::bench
