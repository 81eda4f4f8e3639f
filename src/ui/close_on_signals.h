// SPDX-License-Identifier: MIT
#pragma once
// Ctrl-C, SIGTERM and SIGHUP close the windows as Exit does (the settings kept), on the window's thread,
// stopping their work without asking; a second one ends the program at once, its temporary files removed
// (shell/end_on_signals.h).

namespace coffer {

// Call once, on the window's thread, once its application exists.
void CloseWindowsOnSignals();

// True while such a signal closes the windows: a window asks nothing then, it stops what it is doing.
bool ClosingOnSignal();

} // namespace coffer
