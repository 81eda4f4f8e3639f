// SPDX-License-Identifier: MIT
#include "analysis/analysis_run.h"

#include "analysis/scan/bank_log_scanner.h"
#include "analysis/scan/concurrent_scan.h"
#include "analysis/scan/line_reader.h"
#include "analysis/scan/temp_copy.h"
#include "analysis/scan/view_stream.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace coffer {
namespace {

// Every item name the log will be priced under, once each, in the order the names first appear.
std::vector<std::string> DistinctItemNames(std::istream& in, std::string_view logText, const EntrySelection& selection,
                                           std::stop_token stop) {
    std::vector<std::string> names;
    EntryFilter filter(selection, logText);
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

std::vector<std::string> LeftOutTexts(const AnalysisResult& result) {
    std::vector<std::string> texts;
    if (result.leftOutAmounts > 0)
        texts.push_back(std::to_string(result.leftOutAmounts) + " amounts too large to be read were not counted");
    if (result.cutNames > 0)
        texts.push_back(std::to_string(result.cutNames) + " names longer than " + std::to_string(kMaxNameBytes) +
                        " bytes were cut to that length");
    if (result.untypedElements > 0)
        texts.push_back(std::to_string(result.untypedElements) + " elements had no readable type and were not counted");
    return texts;
}

namespace {

// Where a run reads the log from: each pass from its start, and after a pass, what went wrong, if
// anything.
class LogPasses {
  public:
    virtual ~LogPasses() = default;
    virtual std::istream& read(TempCopy::Pass pass) = 0;
    // Why the run fails after a pass (the tables are emptied then), or nothing.
    virtual std::optional<AnalysisResult> fault() = 0;
};

bool LogChanged(const AnalysisHooks& hooks) {
    return hooks.sourceChanged && hooks.sourceChanged();
}

std::string UnwritableCopyText(const std::filesystem::path& folder, const TempCopy& copy) {
    return "Could not write the temporary copy of the log in " + folder.string() + ": " + copy.error();
}

// The box's text or a log file, through its temporary copy.
class CopyPasses : public LogPasses {
  public:
    CopyPasses(TempCopy& copy, const std::filesystem::path& folder, const AnalysisHooks& hooks)
        : copy_(copy), folder_(folder), hooks_(hooks) {}
    std::istream& read(TempCopy::Pass pass) override { return copy_.read(pass); }
    // A log cut short while it was copied also makes the copy fail, but it is the log's change that the
    // user needs to hear of.
    std::optional<AnalysisResult> fault() override {
        const bool written = copy_.finishWriting();
        if (LogChanged(hooks_))
            return AnalysisResult{.outcome = AnalysisOutcome::LogChanged, .message = kLogChangedMessage};
        if (!written)
            return AnalysisResult{.outcome = AnalysisOutcome::TempCopyFailed,
                                  .message = UnwritableCopyText(folder_, copy_)};
        if (copy_.readFailed())
            return AnalysisResult{.outcome = AnalysisOutcome::TempCopyFailed,
                                  .message = "Could not read the temporary copy of the log " + copy_.name()};
        return std::nullopt;
    }

  private:
    TempCopy& copy_;
    const std::filesystem::path& folder_;
    const AnalysisHooks& hooks_;
};

// A text the program built itself, read where it lies.
class TextPasses : public LogPasses {
  public:
    explicit TextPasses(std::string_view text) : text_(text) {}
    std::istream& read(TempCopy::Pass) override { return stream_.emplace(text_); }
    std::optional<AnalysisResult> fault() override { return std::nullopt; }

  private:
    std::string_view text_;
    std::optional<ViewStream> stream_;
};

// The run's parts of the progress bar, in percent at their ends, by their share of a run's time on logs
// of 100,000 and 1,000,000 entries (bench_analysis): the scan with the totals, the member table, then
// the report to 100.
constexpr int kScanEnd = 92;
constexpr int kMemberTableEnd = 93;

// The share of the whole run done, from the share done of the step in progress.
class RunProgress {
  public:
    explicit RunProgress(const std::function<void(int)>& tell) : tell_(tell) {}
    // The next step begins where the last one ended and ends at `end` percent.
    void startStep(int end) {
        start_ = end_;
        end_ = end;
    }
    void at(double share) {
        const int percent = start_ + static_cast<int>(std::clamp(share, 0.0, 1.0) * (end_ - start_));
        if (percent > shown_ && tell_)
            tell_(shown_ = percent);
    }

  private:
    const std::function<void(int)>& tell_;
    int start_ = 0, end_ = 0, shown_ = 0; // a run starts at 0
};

// The run from the first pass over the log on; `size` is the length in bytes that the passes read.
AnalysisResult AnalyseLog(LogPasses& passes, std::string_view logText, std::uint64_t size, GuildStats& stats,
                          const AnalysisHooks& hooks) {
    auto status = [&hooks](const std::string& text) {
        if (hooks.showStatus)
            hooks.showStatus(text);
    };
    auto cancelled = [&stats] {
        Empty(stats);
        return AnalysisResult{.outcome = AnalysisOutcome::Cancelled, .message = {}};
    };
    auto failed = [&stats](AnalysisResult fault) {
        Empty(stats);
        return fault;
    };

    AnalysisResult result; // complete unless the report fails
    MemberTotals members;
    if (hooks.itemPrices != nullptr) {
        // A first pass names every item up front, so the source can look them up all at once; nothing
        // is looked up for a log that could not be written or read.
        std::vector<std::string> names =
            DistinctItemNames(passes.read(TempCopy::Pass::NotLast), logText, hooks.selection, hooks.stop);
        if (auto fault = passes.fault())
            return failed(*fault);
        hooks.itemPrices->prefetch(names, hooks.stop);
    }
    RunProgress progress(hooks.progress);
    {
        LineReader lines(passes.read(TempCopy::Pass::Last));
        progress.startStep(kScanEnd);
        auto read = [&](std::uint64_t bytes) { progress.at(static_cast<double>(bytes) / static_cast<double>(size)); };
        // An entry takes this many bytes of the log or more (an item entry two or three lines): room
        // for every item row and every entry's hash at once, for neither to grow by copying itself.
        constexpr std::size_t kLogBytesPerEntry = 200;
        stats.items.reserveRows(logText.size() / kLogBytesPerEntry);
        EntryFilter filter(hooks.selection, logText);
        filter.reserve(logText.size() / kLogBytesPerEntry);
        const auto total = [&](BankLogEntry& entry) {
            if (!filter.admit(entry))
                return;
            result.untypedElements += entry.type.empty() ? 1 : 0;
            TotalEntry(entry, members, stats.items, hooks.itemPrices);
            stats.activity.add(entry);
        };
        if (size < hooks.concurrentScanFrom) {
            ScanBankLog(lines, stats.guild, total, hooks.stop);
            read(lines.bytesRead());
        } else {
            ScanBankLogConcurrently(lines, stats.guild, total, hooks.stop, read,
                                    [&](const BankLogEntry& entry) { filter.prefetch(entry); });
        }
        result.outsidePeriod = filter.outsidePeriod();
        result.repeatedEntries = filter.repeated();
        result.leftOutAmounts = members.leftOut();
        for (std::string* name : {&stats.guild.name, &stats.guild.realm})
            name->resize(members.shown(*name).size());
        result.cutNames = members.cutNames();
        if (auto fault = passes.fault())
            return failed(*fault);
    }
    if (hooks.stop.stop_requested())
        return cancelled();

    status("Cleaning up...");
    progress.startStep(kMemberTableEnd);
    FinishMemberTable(std::move(members), stats.members);
    progress.at(1);

    status("Generating Report");
    progress.startStep(100);
    if (hooks.stop.stop_requested())
        return cancelled();
    if (hooks.generateReport) {
        std::string error = hooks.generateReport({[&progress](double share) { progress.at(share); }, hooks.stop});
        if (hooks.stop.stop_requested())
            return cancelled();
        if (!error.empty()) {
            status(error);
            result.outcome = AnalysisOutcome::ReportFailed;
            result.message = error;
            return result;
        }
    }
    progress.at(1);
    status("Complete");
    return result;
}

} // namespace

AnalysisResult RunAnalysis(std::string_view logText, GuildStats& stats, const std::filesystem::path& workFolder,
                           const AnalysisHooks& hooks) {
    Empty(stats);
    if (!LooksLikeBankLog(logText)) {
        if (LogChanged(hooks))
            return {.outcome = AnalysisOutcome::LogChanged, .message = kLogChangedMessage};
        return {.outcome = AnalysisOutcome::NoXmlData, .message = kNoXmlMessage};
    }
    TempCopy copy(workFolder);
    if (!copy.ok())
        return {.outcome = AnalysisOutcome::TempCopyFailed, .message = UnwritableCopyText(workFolder, copy)};
    copy.write(logText, hooks.stop, hooks.copied);
    CopyPasses passes(copy, workFolder, hooks);
    return AnalyseLog(passes, logText, logText.size() + 1, stats, hooks); // the copy ends with a line break
}

AnalysisResult RunAnalysisInPlace(std::string_view logText, GuildStats& stats, const AnalysisHooks& hooks) {
    Empty(stats);
    if (!LooksLikeBankLog(logText))
        return {.outcome = AnalysisOutcome::NoXmlData, .message = kNoXmlMessage};
    TextPasses passes(logText);
    return AnalyseLog(passes, logText, std::max<std::uint64_t>(logText.size(), 1), stats, hooks);
}

} // namespace coffer
