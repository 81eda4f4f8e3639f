// SPDX-License-Identifier: MIT
#include "shell/shell_command.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace coffer {
namespace {

// The program's environment without the variables given, and then the variables.
std::vector<std::string> Environment(const EnvironmentVariables& variables) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const std::string_view name = text.substr(0, text.find('='));
        if (std::none_of(variables.begin(), variables.end(), [&](const auto& given) { return given.first == name; }))
            entries.emplace_back(text);
    }
    for (const auto& [name, value] : variables)
        entries.push_back(name + '=' + value);
    return entries;
}

// Waits for the child to end within the time left; false when the time ran out first.
bool EndsWithin(pid_t pid, std::chrono::milliseconds timeLimit) {
    // Through syscall(): this glibc's <sys/pidfd.h> declares pidfd_open without C linkage.
    const auto handle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (handle < 0)
        return true; // the child cannot be watched: waitpid waits for it as it is
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    int ready = 0;
    do { // a signal the program handles wakes the wait, which goes on
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watched{.fd = handle, .events = POLLIN, .revents = 0};
        ready = ::poll(&watched, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    } while (ready < 0 && errno == EINTR);
    ::close(handle);
    return ready != 0;
}

} // namespace

std::string RunShellCommand(const std::string& command, const EnvironmentVariables& variables,
                            std::chrono::milliseconds timeLimit) {
    std::vector<std::string> environment = Environment(variables);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh", dashC = "-c", text = command;
    char* const argv[] = {shell.data(), dashC.data(), text.data(), nullptr};

    // The command starts as a new program would: a group of its own, no signal blocked (the program's signal
    // thread has them all blocked) and none ignored (SIGPIPE and SIGXFSZ are).
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return "could not be started: " + std::string(std::strerror(error));

    const bool ended = EndsWithin(pid, timeLimit);
    if (!ended)
        ::kill(-pid, SIGKILL); // the group: whatever the shell started goes with it
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended)
        return "was still running after " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeLimit).count()) +
               " seconds and was killed";
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    if (WEXITSTATUS(status) != 0)
        return "ended with status " + std::to_string(WEXITSTATUS(status));
    return {};
}

} // namespace coffer
