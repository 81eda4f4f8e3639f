// SPDX-License-Identifier: MIT
#pragma once
// What an add tells of the alerts it fired, on standard error, to the officer's command and to the
// guild's chat: the first ones one by one, the rest in one line that points to the full list.

#include "ledger/fired_alert.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

constexpr std::size_t kMostAlertsTold = 20; // of one add: a flood of alerts floods no chat

struct ToldAlert {
    std::string line;   // after "ALERT "
    std::string member; // the rest empty for the line of the alerts not told one by one
    std::string rule;
    std::string day;
};

// The first kMostAlertsTold alerts, then "and N more (coffer-cli --alerts)" for the rest.
std::vector<ToldAlert> AlertsToTell(const std::vector<FiredAlert>& fired);

// The line as a chat service's incoming webhook takes it: {"content": "…"}, escaped as JSON wants it;
// bytes that are not UTF-8 become U+FFFD, since JSON text is UTF-8.
std::string ChatMessageJson(std::string_view line);

} // namespace coffer
