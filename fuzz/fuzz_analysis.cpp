// Feeds arbitrary bytes through the whole engine: scan, totals, final pass, ranking and report.
#include "analysis/analysis_run.h"
#include "report/html_report.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Small limits make the sections' limit rules run too.
    const int limit = size > 0 ? static_cast<int>(data[0] % 8) - 2 : 10;
    std::string text = "<?xml?>\n";
    text.append(reinterpret_cast<const char*>(data), size);

    coffer::GuildStats stats;
    coffer::ReportSettings settings{limit, limit, "http://armory.example", "http://www.lorehold.example",
                                    "Coffer", "coffer.example", "today"};
    std::string report;
    coffer::AnalysisHooks hooks;
    hooks.generateReport = [&]() {
        report = coffer::BuildReport(stats, settings);
        return std::string();
    };
    coffer::RunAnalysis(text, stats, std::filesystem::temp_directory_path(), hooks);
    // The report never lets a name open a tag: every "<" it writes is one of its own.
    if (report.find("<script") != report.rfind("<script"))
        __builtin_trap();
    return 0;
}
