// SPDX-License-Identifier: MIT
#pragma once
// Test helper: a program started as a child process, with its own standard streams and set-up.

#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace coffer::testing {

// Starts the program `args[0]` with the rest of `args`, standard input, output and error on the given
// descriptors, after `setUp` (limits, user) has run in the child; a set-up that fails ends the child
// with status 127. Only calls safe between fork and exec belong in `setUp`.
inline pid_t Start(std::vector<std::string> args, int in = 0, int out = 1, int err = 2,
                   const std::function<bool()>& setUp = {}) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || (setUp && !setUp()))
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

} // namespace coffer::testing
