#include "analysis/analysis_run.h"

#include "analysis/bank_log_scanner.h"
#include "analysis/concurrent_scan.h"
#include "analysis/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <unordered_set>

namespace coffer {
namespace {

// A uniquely named copy of the log beside the program. Its name is removed as soon as the copy is open
// for reading, so the system frees it when the process ends, however it ends.
class TempCopy {
  public:
    explicit TempCopy(const std::filesystem::path& folder) {
        std::string name = (folder / "temp-XXXXXX.txt").string();
        fd_ = mkstemps(name.data(), 4);
        if (fd_ < 0) {
            error_ = std::strerror(errno);
            return;
        }
        in_.open(name, std::ios::binary);
        ::unlink(name.c_str());
        name_ = name;
    }
    ~TempCopy() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    // The text and one line break; false (with error()) when it cannot be written in full.
    bool write(std::string_view text) {
        if (fd_ < 0)
            return false;
        for (std::string_view rest : {text, std::string_view("\n")}) {
            while (!rest.empty()) {
                const ssize_t n = ::write(fd_, rest.data(), rest.size());
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    error_ = errno != 0 ? std::strerror(errno) : "write failed";
                    return false;
                }
                rest.remove_prefix(static_cast<std::size_t>(n));
            }
        }
        return true;
    }

    // The copy from its start, for one more pass; null when it cannot be read.
    std::istream* read() {
        in_.clear();
        in_.seekg(0);
        return in_ ? &in_ : nullptr;
    }
    const std::string& name() const { return name_; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::ifstream in_;
    std::string name_;
    std::string error_;
};

// Every item name the log will be priced under, once each, in the order the names first appear.
std::vector<std::string> DistinctItemNames(std::istream& in, const EntrySelection& selection, std::stop_token stop) {
    std::vector<std::string> names;
    EntryFilter filter(selection);
    std::unordered_set<std::string> seen;
    LineReader lines(in);
    GuildIdentity ignored;
    ScanBankLog(
        lines, ignored,
        [&](BankLogEntry& entry) {
            if (!filter.admit(entry) || entry.itemName.empty())
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
    stats.activity.clear();
}

} // namespace

void TotalEntry(BankLogEntry& entry, MemberTotals& members, StatsTable& items, ItemPriceSource* itemPrices) {
    if (itemPrices != nullptr && !entry.itemName.empty())
        PriceEntry(entry, items, *itemPrices);
    else
        entry.value = GoldValueOf(entry);
    AddEntry(entry, members, items);
}

std::string OutsidePeriodText(std::uint64_t entries) {
    return std::to_string(entries) + " entries outside the period were left out";
}

std::string RepeatedEntriesText(std::uint64_t entries) {
    return std::to_string(entries) + " entries appear on more than one page";
}

AnalysisResult RunAnalysis(std::string_view logText, GuildStats& stats, const std::filesystem::path& workFolder,
                           const AnalysisHooks& hooks) {
    auto status = [&hooks](const std::string& text) {
        if (hooks.showStatus)
            hooks.showStatus(text);
    };

    auto cancelled = [&stats] {
        Empty(stats);
        return AnalysisResult{AnalysisOutcome::Cancelled, {}};
    };

    Empty(stats);
    if (!LooksLikeBankLog(logText))
        return {AnalysisOutcome::NoXmlData, kNoXmlMessage};

    AnalysisResult result; // complete unless the report fails
    MemberTotals members;
    {
        TempCopy copy(workFolder);
        errno = 0;
        if (!copy.write(logText))
            return {AnalysisOutcome::TempCopyFailed,
                    "Could not write the temporary copy of the log in " + workFolder.string() + ": " + copy.error()};
        const AnalysisResult unreadable{AnalysisOutcome::TempCopyFailed,
                                        "Could not read the temporary copy of the log " + copy.name()};
        if (hooks.itemPrices != nullptr) {
            // A first pass names every item up front, so the source can look them up all at once.
            std::istream* first = copy.read();
            if (first == nullptr)
                return unreadable;
            hooks.itemPrices->prefetch(DistinctItemNames(*first, hooks.selection, hooks.stop), hooks.stop);
        }
        std::istream* in = copy.read();
        if (in == nullptr)
            return unreadable;
        LineReader lines(*in);
        const std::uint64_t size = logText.size() + 1; // the copy ends with a line break
        int shown = -1;
        auto read = [&](std::uint64_t bytes) {
            const int percent = static_cast<int>(std::min<std::uint64_t>(bytes, size) * 100 / size);
            if (percent > shown && hooks.progress)
                hooks.progress(shown = percent);
        };
        EntryFilter filter(hooks.selection);
        ScanBankLogConcurrently(
            lines, stats.guild,
            [&](BankLogEntry& entry) {
                if (!filter.admit(entry))
                    return;
                TotalEntry(entry, members, stats.items, hooks.itemPrices);
                stats.activity.add(entry);
            },
            hooks.stop, read);
        result.outsidePeriod = filter.outsidePeriod();
        result.repeatedEntries = filter.repeated();
    }
    if (hooks.stop.stop_requested())
        return cancelled();

    status("Cleaning up...");
    FinishMemberTable(members, stats.members);

    status("Generating Report");
    if (hooks.stop.stop_requested())
        return cancelled();
    if (hooks.generateReport) {
        if (std::string error = hooks.generateReport(); !error.empty()) {
            status(error);
            result.outcome = AnalysisOutcome::ReportFailed;
            result.message = error;
            return result;
        }
    }
    status("Complete");
    return result;
}

} // namespace coffer
