// SPDX-License-Identifier: MIT
#include "ledger/told_alerts.h"

#include "analysis/text/web_text.h"

#include <algorithm>

namespace coffer {

std::vector<ToldAlert> AlertsToTell(const std::vector<FiredAlert>& fired) {
    std::vector<ToldAlert> told;
    for (std::size_t i = 0; i < std::min(fired.size(), kMostAlertsTold); ++i)
        told.push_back({.line = fired[i].line,
                        .member = fired[i].member,
                        .rule = std::to_string(fired[i].rule),
                        .day = fired[i].day});
    if (fired.size() > kMostAlertsTold)
        told.push_back({.line = "and " + std::to_string(fired.size() - kMostAlertsTold) + " more (coffer-cli --alerts)",
                        .member = {},
                        .rule = {},
                        .day = {}});
    return told;
}

std::string ChatMessageJson(std::string_view line) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string json = R"({"content": ")";
    for (std::size_t at = 0; at < line.size();) {
        const char c = line[at];
        const auto byte = static_cast<unsigned char>(c);
        const std::size_t length = byte < 0x80 ? 1 : Utf8SequenceLength(line, at);
        if (length == 0) {
            json += "\uFFFD"; // written as itself, UTF-8
            ++at;
            continue;
        }
        if (c == '"' || c == '\\')
            json += {'\\', c};
        else if (c == '\n')
            json += "\\n";
        else if (c == '\r')
            json += "\\r";
        else if (c == '\t')
            json += "\\t";
        else if (byte < 0x20) // the control bytes JSON wants escaped
            json += {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xf]};
        else
            json.append(line.substr(at, length));
        at += length;
    }
    return json + "\"}";
}

} // namespace coffer
