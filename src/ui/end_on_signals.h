#pragma once
// Ctrl-C, SIGTERM and SIGHUP end the desktop program as its Exit does: the first such signal asks for a
// clean end (`requestEnd`, called on the window's thread: close the windows, keep the settings); a
// second one ends the program at once by that signal, after removing the named temporary files, even
// when the window's thread is busy.

#include <functional>

namespace coffer {

// Call once, on the window's thread, once its event loop can run.
void EndOnSignals(std::function<void()> requestEnd);

} // namespace coffer
