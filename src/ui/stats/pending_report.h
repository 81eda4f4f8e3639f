// SPDX-License-Identifier: MIT
#pragma once
// The report of a run in progress, written beside report.html under a name of its own: the window puts
// it in place only once the run is over and was not cancelled, so that a cancelled run leaves
// report.html as it was whenever the cancel came. The file counts among the temporary files until then.

#include <filesystem>
#include <string>

namespace coffer {

class PendingReport {
  public:
    explicit PendingReport(std::filesystem::path target);
    ~PendingReport(); // removes the file unless it was put in place
    PendingReport(const PendingReport&) = delete;
    PendingReport& operator=(const PendingReport&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Replaces the target by the written report; an error message for the user, empty on success.
    std::string putInPlace();

  private:
    std::filesystem::path target_;
    std::filesystem::path path_;
};

} // namespace coffer
