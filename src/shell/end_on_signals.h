// SPDX-License-Identifier: MIT
#pragma once
// Ctrl-C, SIGTERM and SIGHUP end either program as they would, but only after the named temporary files
// are gone, even while its other threads are busy. Without `askToEnd` the first such signal ends the
// program; with it, the first one calls it (on a thread of its own: it hands the request on, as the
// window's Exit does, and gives false when it cannot) and only a second one ends the program at once.

#include <functional>

namespace coffer {

// Call once, early.
void EndOnSignals(std::function<bool()> askToEnd = {});

} // namespace coffer
