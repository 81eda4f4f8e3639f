// SPDX-License-Identifier: MIT
#pragma once
// What a file name stands for, to tell two names of one file apart from two files: a log read as an
// output, an output named twice, an output that is the ledger.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace coffer {

// The device and inode of a file that exists, the resolved path of one that does not yet.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;
    bool operator==(const FileIdentity&) const = default;
};

// Nothing for a device, FIFO, socket or terminal, which any number of names may share.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
std::optional<FileIdentity> IdentityOfOpenFile(int fd);

// The file a name leads to past its symbolic links (a link that cannot be read ends the way).
std::filesystem::path PastLinks(std::filesystem::path path);

// A device, FIFO, socket or terminal: written directly, never replaced.
bool IsSpecial(const struct stat& info);

} // namespace coffer
