#pragma once
// The bank log's text as UTF-8, in parts to be joined in order: each import keeps its own part, so that
// a text of several imports is not copied on the window's thread.

#include <memory>
#include <string>
#include <vector>

namespace coffer {

using LogText = std::vector<std::shared_ptr<const std::string>>;

} // namespace coffer
