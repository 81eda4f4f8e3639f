// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace coffer {

// True when the path names an existing file (not a folder). The file-name part compares without
// regard to letter case, so "REPORT.HTML" finds "report.html". Wildcards are not expanded: a name
// with "*" or "?" matches only a file of that very name. "" and any error give false.
bool FileExists(std::string_view path);

} // namespace coffer
