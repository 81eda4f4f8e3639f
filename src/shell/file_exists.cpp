#include "shell/file_exists.h"

#include <filesystem>
#include <string>

namespace coffer {
namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace

bool FileExists(std::string_view path) {
    namespace fs = std::filesystem;
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return false;
    const fs::path folder = slash == std::string_view::npos ? fs::path(".") : fs::path(std::string(path.substr(0, slash + 1)));
    std::error_code error;
    // The exact name is the common case and needs no directory listing.
    const fs::path exact = folder / std::string(name);
    if (fs::exists(exact, error) && !error)
        return !fs::is_directory(exact, error) && !error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (SameNameIgnoringCase(it->path().filename().string(), name))
            return !it->is_directory(error) && !error;
    }
    return false;
}

} // namespace coffer
