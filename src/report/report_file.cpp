#include "report/report_file.h"

#include "analysis/temporary_names.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace coffer {
namespace {

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

// Creates a new file of a unique name beside `path` with the given mode, which the process's umask
// then narrows as for any new file, and adds the name to the temporary ones. The descriptor, or -1
// with errno set.
int CreateTemporary(const std::filesystem::path& path, mode_t mode, std::string& name) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto naming = LockTemporaryNames();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        name = (folder / ("." + path.filename().string() + "." + suffix)).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            AddTemporaryName(name);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Once the temporary file is renamed or removed, a signal has nothing left to remove.
struct ForgetWhenDone {
    const std::string& name;
    ~ForgetWhenDone() {
        const auto naming = LockTemporaryNames();
        ForgetTemporaryName(name);
    }
};

} // namespace

std::string WriteFileReplacing(const std::filesystem::path& path, std::string_view content) {
    // A file that is replaced keeps its permissions; a new one gets those the user's umask gives.
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;
    std::string temp;
    const int fd = CreateTemporary(path, mode, temp);
    auto failure = [&path](int error) { return "Could not write " + path.string() + ": " + std::strerror(error); };
    if (fd < 0)
        return failure(errno);
    const ForgetWhenDone forget{temp};
    if (replacing)
        ::fchmod(fd, mode); // the umask may have narrowed what the old file had
    const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        std::remove(temp.c_str());
        return failure(error);
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temp.c_str());
        return failure(error);
    }
    return {};
}

std::string GenerateReport(GuildStats& stats, const ReportSettings& settings, const std::filesystem::path& path) {
    return WriteFileReplacing(path, BuildReport(stats, settings) + "\r\n");
}

} // namespace coffer
