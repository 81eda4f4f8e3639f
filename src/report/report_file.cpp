// SPDX-License-Identifier: MIT
#include "report/report_file.h"

namespace coffer {

std::string ReportFileText(GuildStats& stats, const ReportSettings& settings, const StepProgress& progress) {
    return BuildReport(stats, settings, progress) + "\r\n";
}

std::string GenerateReport(GuildStats& stats, const ReportSettings& settings, const std::filesystem::path& path,
                           const StepProgress& progress) {
    std::string text = ReportFileText(stats, settings, progress);
    if (progress.stop.stop_requested())
        return "The report was not written: the run was stopped";
    return WriteFileReplacing(path, text);
}

} // namespace coffer
