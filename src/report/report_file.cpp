#include "report/report_file.h"

namespace coffer {

std::string ReportFileText(GuildStats& stats, const ReportSettings& settings) {
    return BuildReport(stats, settings) + "\r\n";
}

std::string GenerateReport(GuildStats& stats, const ReportSettings& settings, const std::filesystem::path& path) {
    return WriteFileReplacing(path, ReportFileText(stats, settings));
}

} // namespace coffer
