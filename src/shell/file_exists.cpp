// SPDX-License-Identifier: MIT
#include "shell/file_exists.h"

#include "analysis/text/text_util.h"

#include <filesystem>
#include <string>

namespace coffer {

bool FileExists(std::string_view path) {
    namespace fs = std::filesystem;
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return false;
    const fs::path folder =
        slash == std::string_view::npos ? fs::path(".") : fs::path(std::string(path.substr(0, slash + 1)));
    std::error_code error;
    // The exact name is the common case and needs no directory listing.
    const fs::path exact = folder / std::string(name);
    if (fs::exists(exact, error) && !error)
        return !fs::is_directory(exact, error) && !error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (EqualsNoCase(it->path().filename().string(), name))
            return !it->is_directory(error) && !error;
    }
    return false;
}

} // namespace coffer
