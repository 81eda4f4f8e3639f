#pragma once
// Writing the report (and other result files) so that a failed write never loses the previous report: the document goes
// to a temporary file beside the target, which then replaces the target in one rename.

#include "report/html_report.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace coffer {

// Replaces the file at `path` by `content`. Returns an error message for the user, empty on success.
std::string WriteFileReplacing(const std::filesystem::path& path, std::string_view content);

// Builds the report from the finished tables and writes it, followed by CR LF; an error message,
// empty on success.
std::string GenerateReport(GuildStats& stats, const ReportSettings& settings, const std::filesystem::path& path);

} // namespace coffer
