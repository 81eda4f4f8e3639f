// The whole engine over a text, in memory: scan, totals, final pass, ranking and report, then the
// report read strictly, the exports read as text files, and the totals and repeats checked against
// what the log holds.
#include "analysis/analysis_run.h"
#include "analysis/bank_log_scanner.h"
#include "analysis/line_reader.h"
#include "analysis/web_text.h"
#include "report/html_report.h"
#include "report/table_export.h"
#include "strict_report.h"

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

using namespace coffer;

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The element's words joined by single spaces: equal exactly for the texts that repeat each other.
std::string Words(std::string_view text) {
    std::string words;
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;)
        words += (words.empty() ? "" : " ") + word;
    return words;
}

// A sum never wraps or changes sign: what only goes in stays "+", what only goes out never is.
void RequireSignedTotals(const StatsTable& members) {
    for (std::size_t row = 0; row < members.rowCount(); ++row) {
        for (const int column : {kDeposits, kWithdrawls, kGoldDeposits})
            Require(members.cell(row, static_cast<std::size_t>(column))[0] == '+');
        for (const int column : {kGoldWithdrawls, kRepairs}) {
            const std::string& cell = members.cell(row, static_cast<std::size_t>(column));
            Require(cell[0] == '-' || cell == "+00000.00");
        }
    }
}

// Only text reaches an export: valid UTF-8 and no control character but the separators.
void RequireTextFile(const std::string& file) {
    for (std::size_t at = 0; at < file.size();) {
        const auto byte = static_cast<unsigned char>(file[at]);
        Require(byte >= 0x20 || file[at] == '\t' || file[at] == '\r' || file[at] == '\n');
        const std::size_t length = Utf8SequenceLength(file, at);
        Require(length > 0);
        at += length;
    }
}

} // namespace

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
    EntryFilter filter({.period = std::nullopt, .countRepeatedOnce = true}, text);
    std::set<std::string> earlierPages, thisPage;
    std::uint64_t page = 0;
    ScanBankLog(lines, stats.guild,
                [&](BankLogEntry& entry) {
                    if (entry.page != page) {
                        earlierPages.merge(thisPage);
                        page = entry.page;
                    }
                    const std::string words = Words(text.substr(entry.textBegin, entry.textEnd - entry.textBegin));
                    Require(filter.admit(entry) == !earlierPages.contains(words));
                    thisPage.insert(words);
                    TotalEntry(entry, members, stats.items, nullptr);
                },
                {});
    FinishMemberTable(members, stats.members);
    RequireSignedTotals(stats.members);
    for (const StatsTable* table : {&stats.members, &stats.items})
        for (const TableFormat format : {TableFormat::Csv, TableFormat::TabSeparated})
            RequireTextFile(TableText(*table, format));
    const ReportSettings settings{
        limit, limit, "http://armory.example", "http://www.lorehold.example", "Coffer", "coffer.example", "today"};
    RequireStrictReport(BuildReport(stats, settings));
    return 0;
}
