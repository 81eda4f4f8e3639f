// SPDX-License-Identifier: MIT
#include "ui/stats/pending_report.h"

#include "analysis/scan/temporary_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace coffer {

PendingReport::PendingReport(std::filesystem::path target)
    : target_(std::move(target)),
      // native(), not string(): see NameTemporary in output_files.cpp.
      path_(target_.parent_path() / ("." + target_.filename().native() + ".run-" + std::to_string(::getpid()))) {
    const auto naming = LockTemporaryNames();
    AddTemporaryName(path_.string());
}

PendingReport::~PendingReport() {
    const auto naming = LockTemporaryNames();
    std::remove(path_.c_str());
    ForgetTemporaryName(path_.string());
}

std::string PendingReport::putInPlace() {
    if (std::rename(path_.c_str(), target_.c_str()) != 0)
        return "Could not write " + target_.string() + ": " + std::strerror(errno);
    return {};
}

} // namespace coffer
