// SPDX-License-Identifier: MIT
#pragma once
// A password typed at the terminal that started the program, never shown.

#include <optional>
#include <string>

namespace coffer {

// Asks "Password for NAME: " on the controlling terminal and reads a line with echo off; Ctrl-C or
// Ctrl-D gives up. Nothing without a terminal (a timer, a pipe), or when the user gave up.
std::optional<std::string> AskPasswordOnTerminal(const std::string& shownName);

} // namespace coffer
