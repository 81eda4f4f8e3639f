// SPDX-License-Identifier: MIT
#include "ui/report_copy.h"

#include "report/report_file.h"

#include <fstream>
#include <iterator>

namespace coffer {

QString WithHtmExtension(const QString& name) {
    return name.contains(u".htm", Qt::CaseInsensitive) ? name : name + QStringLiteral(".htm");
}

std::string CopyReport(const std::filesystem::path& report, const std::filesystem::path& target) {
    std::ifstream in(report, std::ios::binary);
    std::string content;
    if (in)
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad())
        return "Could not read the report " + report.string();
    return WriteFileReplacing(target, content);
}

} // namespace coffer
