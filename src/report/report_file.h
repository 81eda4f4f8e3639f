// SPDX-License-Identifier: MIT
#pragma once
// Writing the report so that a failed write never loses the previous report (see output_files.h).

#include "report/html_report.h"
#include "shell/output_files.h"

#include <filesystem>
#include <string>

namespace coffer {

// The report's file: the report built from the finished tables, followed by CR LF.
std::string ReportFileText(GuildStats& stats, const ReportSettings& settings, const StepProgress& progress = {});

// Writes the report's file; an error message, empty on success. After a stop nothing is written.
std::string GenerateReport(GuildStats& stats, const ReportSettings& settings, const std::filesystem::path& path,
                           const StepProgress& progress = {});

} // namespace coffer
