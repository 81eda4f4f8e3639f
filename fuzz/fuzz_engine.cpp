// The whole engine over a text, in memory: scan, totals, final pass, ranking and report, then the
// report read strictly.
#include "analysis/analysis_run.h"
#include "analysis/bank_log_scanner.h"
#include "analysis/line_reader.h"
#include "report/html_report.h"
#include "strict_report.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

using namespace coffer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the section limits, so small limits and their rules run too.
    const int limit = size > 0 ? static_cast<int>(data[0] % 8) - 2 : 10;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!LooksLikeBankLog(text))
        return 0;

    GuildStats stats;
    std::istringstream in{std::string(text)};
    LineReader lines(in);
    MemberTotals members;
    ScanBankLog(lines, stats.guild, [&](BankLogEntry& entry) { TotalEntry(entry, members, stats.items, nullptr); }, {});
    FinishMemberTable(members, stats.members);
    const ReportSettings settings{
        limit, limit, "http://armory.example", "http://www.lorehold.example", "Coffer", "coffer.example", "today"};
    RequireStrictReport(BuildReport(stats, settings));
    return 0;
}
