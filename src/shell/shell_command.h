// SPDX-License-Identifier: MIT
#pragma once
// A command of the user's run through /bin/sh -c, for what the program tells unattended (an alert): what
// it is told stands in the command's environment only, never in its words, so that no name can become
// shell syntax.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace coffer {

using EnvironmentVariables = std::vector<std::pair<std::string, std::string>>;

// Runs `command` in a process group of its own, with the program's environment and `variables` (which
// replace any of the same name), standard input from /dev/null and standard output on standard error,
// and waits for it. A command still running at `timeLimit` is killed with its whole group. Returns why
// it failed, in words for the user ("ended with status 3", "was still running after 10 seconds and was
// killed"); empty when it ended with status 0.
std::string RunShellCommand(const std::string& command, const EnvironmentVariables& variables,
                            std::chrono::milliseconds timeLimit);

} // namespace coffer
