// SPDX-License-Identifier: MIT
#include "ui/base/throttled_event_pump.h"

#include <QCoreApplication>

namespace coffer {

ThrottledEventPump::ThrottledEventPump(int intervalMs) : intervalMs_(intervalMs) {
    sinceLast_.start();
}

void ThrottledEventPump::operator()() {
    if (sinceLast_.elapsed() < intervalMs_)
        return;
    QCoreApplication::processEvents();
    sinceLast_.restart();
}

} // namespace coffer
