// SPDX-License-Identifier: MIT
#include "cli/cli.h"
#include "cli/cli_fetch.h"
#include "cli/cli_ledger.h"
#include "cli/terminal_password.h"
#include "shell/end_on_signals.h"

#include <QCoreApplication>

#include <clocale>
#include <csignal>
#include <ctime>
#include <iostream>
#include <new>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    coffer::HideLedgerPasswords(argc, argv);
    coffer::EndOnSignals(coffer::EndFetchOnSignal); // a fetch form ends its loop, anything else at once
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
        return coffer::RunCli(arguments, std::cin, std::cout, std::cerr, createdOn, coffer::AskPasswordOnTerminal);
    } catch (const std::bad_alloc&) {
        // Said without taking memory, of which there is none to be had.
        static constexpr char kMessage[] = "coffer-cli: out of memory: the log is too large\n";
        const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        static_cast<void>(ignored);
        return coffer::kCliFailure;
    }
}
