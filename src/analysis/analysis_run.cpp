#include "analysis/analysis_run.h"

#include "analysis/bank_log_scanner.h"
#include "analysis/concurrent_scan.h"
#include "analysis/line_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unordered_set>
#include <unistd.h>

namespace coffer {
namespace {

// A uniquely named copy of the log beside the program, removed when the run is done with it.
class TempCopy {
public:
    explicit TempCopy(const std::filesystem::path& folder) {
        std::string name = (folder / "temp-XXXXXX.txt").string();
        const int fd = mkstemps(name.data(), 4);
        if (fd < 0) {
            error_ = std::strerror(errno);
            return;
        }
        ::close(fd);
        path_ = name;
    }
    ~TempCopy() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    // The text and one line break; false (with error()) when it cannot be written in full.
    bool write(std::string_view text) {
        if (path_.empty())
            return false;
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.put('\n');
        out.flush();
        if (!out) {
            error_ = errno != 0 ? std::strerror(errno) : "write failed";
            return false;
        }
        return true;
    }

    const std::filesystem::path& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::filesystem::path path_;
    std::string error_;
};

// Every item name the log will be priced under, once each, in the order the names first appear.
std::vector<std::string> DistinctItemNames(std::istream& in, std::stop_token stop) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    LineReader lines(in);
    GuildIdentity ignored;
    ScanBankLog(
        lines, ignored,
        [&](BankLogEntry& entry) {
            if (entry.itemName.empty())
                return;
            std::string name = ListedItemName(entry);
            if (seen.insert(name).second)
                names.push_back(std::move(name));
        },
        stop);
    return names;
}

void Empty(GuildStats& stats) {
    stats.guild = GuildIdentity{};
    stats.members.clear();
    stats.items.clear();
}

} // namespace

AnalysisResult RunAnalysis(std::string_view logText, GuildStats& stats, const std::filesystem::path& workFolder,
                           const AnalysisHooks& hooks) {
    auto status = [&hooks](const std::string& text) {
        if (hooks.showStatus)
            hooks.showStatus(text);
    };

    Empty(stats);
    if (!LooksLikeBankLog(logText))
        return {AnalysisOutcome::NoXmlData, kNoXmlMessage};

    {
        TempCopy copy(workFolder);
        errno = 0;
        if (!copy.write(logText))
            return {AnalysisOutcome::TempCopyFailed, "Could not write the temporary copy of the log in " +
                                                         workFolder.string() + ": " + copy.error()};
        auto openCopy = [&copy]() { return std::ifstream(copy.path(), std::ios::binary); };
        const AnalysisResult unreadable{AnalysisOutcome::TempCopyFailed,
                                        "Could not read the temporary copy of the log " + copy.path().string()};
        if (hooks.itemPrices != nullptr) {
            // A first pass names every item up front, so the source can look them up all at once.
            std::ifstream first = openCopy();
            if (!first)
                return unreadable;
            hooks.itemPrices->prefetch(DistinctItemNames(first, hooks.stop), hooks.stop);
        }
        std::ifstream in = openCopy();
        if (!in)
            return unreadable;
        LineReader lines(in);
        ScanBankLogConcurrently(lines, stats.guild, [&](BankLogEntry& entry) {
            if (hooks.itemPrices != nullptr && !entry.itemName.empty())
                PriceEntry(entry, stats.items, *hooks.itemPrices);
            else
                entry.value = GoldValueOf(entry);
            AddEntry(entry, stats.members, stats.items);
        }, hooks.stop);
    }
    if (hooks.stop.stop_requested()) {
        Empty(stats);
        return {AnalysisOutcome::Cancelled, {}};
    }

    status("Cleaning up...");
    FinishMemberTable(stats.members);

    status("Generating Report");
    if (hooks.generateReport) {
        if (std::string error = hooks.generateReport(); !error.empty()) {
            status(error);
            return {AnalysisOutcome::ReportFailed, error};
        }
    }
    status("Complete");
    return {};
}

} // namespace coffer
