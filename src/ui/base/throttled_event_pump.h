// SPDX-License-Identifier: MIT
#pragma once
// Lets the window handle its pending events from inside long work on its own thread, at most once
// per interval: called after every small step, it keeps the window responsive for little cost.

#include <QElapsedTimer>

namespace coffer {

class ThrottledEventPump {
  public:
    explicit ThrottledEventPump(int intervalMs = 10);
    void operator()();

  private:
    int intervalMs_;
    QElapsedTimer sinceLast_;
};

} // namespace coffer
