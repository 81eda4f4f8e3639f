// SPDX-License-Identifier: MIT
#include "analysis/scan/file_identity.h"

#include <sys/stat.h>

namespace coffer {
namespace fs = std::filesystem;
namespace {

std::optional<FileIdentity> IdentityOfStat(const struct stat& info) {
    if (IsSpecial(info))
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, {}};
}

} // namespace

fs::path PastLinks(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path to = fs::read_symlink(path, error);
        if (error)
            break;
        path = path.parent_path() / to; // an absolute link replaces the whole path
    }
    return path;
}

bool IsSpecial(const struct stat& info) {
    return !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::optional<FileIdentity> IdentityOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return IdentityOfStat(info);
    const fs::path target = PastLinks(path);
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(target, error), error);
    return FileIdentity{0, 0, (error ? target : resolved).string()};
}

std::optional<FileIdentity> IdentityOfOpenFile(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return IdentityOfStat(info);
}

} // namespace coffer
