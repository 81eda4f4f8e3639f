#include "report/report_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

} // namespace

std::string WriteFileReplacing(const std::filesystem::path& path, std::string_view content) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    auto failure = [&path](int error) {
        return "Could not write " + path.string() + ": " + std::strerror(error);
    };
    if (fd < 0)
        return failure(errno);
    // mkstemp makes the file private; the result is as readable as any file the user saves.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
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
