#include "analysis/scan/temporary_names.h"
#include "cli/cli.h"
#include "cli/cli_ledger.h"

#include <QCoreApplication>

#include <clocale>
#include <csignal>
#include <ctime>
#include <iostream>
#include <new>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// Ctrl-C and the other signals that end a program end this one as they would, but only after the run's
// temporary files are gone: every thread leaves them to one that waits for them, started before any
// other thread so that all inherit the blocked signals.
void EndOnSignalsWithoutTemporaryFiles() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    std::thread([ending] {
        int received = 0;
        if (sigwait(&ending, &received) != 0)
            return;
        const auto naming = coffer::LockTemporaryNames(); // held: no new file is named from here on
        coffer::RemoveTemporaryFiles();
        std::signal(received, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, received);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        std::raise(received);
    }).detach();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    coffer::HideLedgerPasswords(argc, argv);
    EndOnSignalsWithoutTemporaryFiles();
    std::signal(SIGPIPE, SIG_IGN); // a reader that goes away is a failed write, not the end of the program
    // A file size limit then fails the write that reaches it (EFBIG, named in the message) instead of
    // killing the program half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    // The item look-ups wait for the network through the application's event handling.
    QCoreApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
    const std::time_t now = std::time(nullptr);
    char createdOn[128] = {};
    std::strftime(createdOn, sizeof createdOn, "%x %X", std::localtime(&now));
    std::ios::sync_with_stdio(false);
    try {
        return coffer::RunCli(arguments, std::cin, std::cout, std::cerr, createdOn);
    } catch (const std::bad_alloc&) {
        // Said without taking memory, of which there is none to be had.
        static constexpr char kMessage[] = "coffer-cli: out of memory: the log is too large\n";
        const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        static_cast<void>(ignored);
        return coffer::kCliFailure;
    }
}
