// SPDX-License-Identifier: MIT
#include "shell/output_files.h"

#include "analysis/scan/file_identity.h"
#include "analysis/scan/temporary_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace coffer {
namespace fs = std::filesystem;
namespace {

std::string Failure(const fs::path& path, int error) {
    return "Could not write " + path.string() + ": " + std::strerror(error);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Gives a temporary file a unique name beside `target` through `create`, which fails with EEXIST when
// the name is taken, and adds the name to those a signal removes. False, `name` empty, when it cannot.
bool NameTemporary(const fs::path& target, std::string& name, const std::function<bool(const std::string&)>& create) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto naming = LockTemporaryNames();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        // native(), not string(): a literal + a temporary string makes GCC 12 at -O3 warn (-Wrestrict) of
        // overlapping copies that cannot occur.
        name = (FolderOf(target) / ("." + target.filename().native() + "." + suffix)).string();
        if (create(name)) {
            AddTemporaryName(name);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return false;
}

} // namespace

OutputFiles::~OutputFiles() {
    for (Output& output : outputs_) {
        if (!output.temporaryName.empty()) {
            ::unlink(output.temporaryName.c_str());
            const auto naming = LockTemporaryNames();
            ForgetTemporaryName(output.temporaryName);
        }
        if (output.fd >= 0)
            ::close(output.fd);
    }
}

std::string OutputFiles::check(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return Failure(path, EISDIR);
        if (IsSpecial(info))
            return ::access(path.c_str(), W_OK) == 0 ? std::string() : Failure(path, errno);
    } else if (errno != ENOENT) { // a link loop, a name too long: never replaced by a file
        return Failure(path, errno);
    }
    const fs::path folder = FolderOf(PastLinks(path));
    if (::stat(folder.c_str(), &info) != 0)
        return Failure(path, errno);
    if (!S_ISDIR(info.st_mode))
        return Failure(path, ENOTDIR);
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? std::string() : Failure(path, errno);
}

std::string OutputFiles::start(const fs::path& path, std::optional<mode_t> mode) {
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Failure(path, errno);
    if (exists && S_ISDIR(old.st_mode))
        return Failure(path, EISDIR);
    Output& output = outputs_.emplace_back();
    output.path = path;
    output.target = PastLinks(path);
    if (exists && IsSpecial(old)) {
        output.direct = true;
        return {};
    }
    // A file that is replaced keeps its permissions; a new one gets those the user's umask gives.
    const mode_t created = mode ? *mode : exists ? (old.st_mode & 07777) : 0666;
    // An unnamed file can be given its name only through /proc, which a chroot may lack.
    if (::access("/proc/self/fd", X_OK) == 0)
        output.fd = ::open(FolderOf(output.target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, created);
    if (output.fd < 0 && !NameTemporary(output.target, output.temporaryName, [&](const std::string& name) {
            output.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, created);
            return output.fd >= 0;
        }))
        return Failure(path, errno);
    if (exists || mode)
        ::fchmod(output.fd, created); // the umask may have narrowed what the old file had or was given
    return {};
}

std::string OutputFiles::written(const Output& output, bool complete) {
    if (!complete || ::fsync(output.fd) != 0)
        return Failure(output.path, errno);
    return {};
}

std::string OutputFiles::add(const fs::path& path, std::string content, std::optional<mode_t> mode) {
    if (std::string error = start(path, mode); !error.empty())
        return error;
    Output& output = outputs_.back();
    if (output.direct) {
        output.content = std::move(content);
        return {};
    }
    return written(output, WriteAll(output.fd, content));
}

std::string OutputFiles::add(const fs::path& path, const TextWriter& write) {
    if (std::string error = start(path); !error.empty())
        return error;
    Output& output = outputs_.back();
    if (output.direct) {
        write([&output](std::string_view piece) {
            output.content.append(piece);
            return true;
        });
        return {};
    }
    return written(output, write([&output](std::string_view piece) { return WriteAll(output.fd, piece); }));
}

// The unnamed temporary file gets its name only now, just before its rename.
std::string OutputFiles::link(Output& output) {
    const std::string self = "/proc/self/fd/" + std::to_string(output.fd);
    if (NameTemporary(output.target, output.temporaryName, [&self](const std::string& name) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        }))
        return {};
    return Failure(output.path, errno);
}

std::string OutputFiles::commit() {
    for (const Output& output : outputs_) {
        if (!output.direct)
            continue;
        const int fd = ::open(output.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        const bool written = fd >= 0 && WriteAll(fd, output.content);
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (!written)
            return Failure(output.path, error);
    }
    for (Output& output : outputs_)
        if (!output.direct && output.temporaryName.empty())
            if (std::string error = link(output); !error.empty())
                return error;
    for (Output& output : outputs_) {
        if (output.direct)
            continue;
        if (std::rename(output.temporaryName.c_str(), output.target.c_str()) != 0)
            return Failure(output.path, errno);
        const auto naming = LockTemporaryNames();
        ForgetTemporaryName(output.temporaryName);
        output.temporaryName.clear();
    }
    return {};
}

std::string WriteFileReplacing(const fs::path& path, std::string content, std::optional<mode_t> mode) {
    OutputFiles file;
    const std::string error = file.add(path, std::move(content), mode);
    return error.empty() ? file.commit() : error;
}

} // namespace coffer
