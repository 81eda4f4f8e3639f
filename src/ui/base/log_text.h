// SPDX-License-Identifier: MIT
#pragma once
// The bank log's text as UTF-8, in parts to be joined in order: each import keeps its own part, so that
// a text of several imports is not copied on the window's thread.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

using LogText = std::vector<std::shared_ptr<const std::string>>;

// Reads the bank log box's text while the window keeps answering; `going` is asked between pieces, and
// false stops the reading (what was read is then of no use).
using LogTextReader = std::function<LogText(const std::function<bool()>& going)>;

// The parts as one text; joined in `joined` when there are several (off the window's thread: a large
// text takes a while).
inline std::string_view JoinedText(const LogText& text, std::string& joined) {
    if (text.size() == 1)
        return *text.front();
    std::size_t size = 0;
    for (const auto& part : text)
        size += part->size();
    joined.reserve(size);
    for (const auto& part : text)
        joined += *part;
    return joined;
}

} // namespace coffer
