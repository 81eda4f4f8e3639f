// SPDX-License-Identifier: MIT
#pragma once
// Save As: the name rule and the copy of the written report.

#include <QString>
#include <filesystem>
#include <string>

namespace coffer {

// A chosen name without ".htm" anywhere in it (letter case ignored) gets ".htm" appended.
QString WithHtmExtension(const QString& name);

// Copies the report to `target` through a temporary file beside it, so a failed copy leaves any file
// there as it was. An error message for the user, empty on success.
std::string CopyReport(const std::filesystem::path& report, const std::filesystem::path& target);

} // namespace coffer
