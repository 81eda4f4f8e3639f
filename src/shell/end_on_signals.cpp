// SPDX-License-Identifier: MIT
#include "shell/end_on_signals.h"

#include "analysis/scan/temporary_names.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace coffer {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signal handler may only write to a pipe; a thread of its own reads it, so that a second signal
// is carried out even while the thread that was asked to end the program is stuck.
int signalPipe[2] = {-1, -1};

extern "C" void NoteSignal(int received) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(received);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

[[noreturn]] void EndAtOnce(int received) {
    const auto naming = LockTemporaryNames(); // held: no new file is named from here on
    RemoveTemporaryFiles();
    std::signal(received, SIG_DFL);
    std::raise(received);
    std::_Exit(128 + received); // the signal is blocked here: end all the same
}

void ReadSignals(const std::function<bool()>& askToEnd) {
    bool endAsked = false;
    unsigned char byte = 0;
    while (true) {
        const ssize_t got = ::read(signalPipe[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            return;
        if (endAsked || !askToEnd || !askToEnd())
            EndAtOnce(byte);
        endAsked = true;
    }
}

} // namespace

void EndOnSignals(std::function<bool()> askToEnd) {
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC) != 0)
        return;
    std::thread(ReadSignals, std::move(askToEnd)).detach();
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kEndingSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace coffer
