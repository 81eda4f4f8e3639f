// SPDX-License-Identifier: MIT
#include "analysis/analysis_run.h"
#include "analysis/scan/mapped_file.h"
#include "support/temp_folder.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <vector>

namespace coffer {
namespace {
namespace fs = std::filesystem;

class AnalysisRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hooks_.showStatus = [this](const std::string& text) { statuses_.push_back(text); };
        hooks_.generateReport = [this](const StepProgress&) {
            ++reports_;
            return std::string();
        };
    }
    std::vector<std::string> filesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    AnalysisResult run(std::string_view text) { return RunAnalysis(text, stats_, folder_, hooks_); }

    testing::TempFolder temp_;
    const fs::path& folder_ = temp_.path();
    GuildStats stats_;
    AnalysisHooks hooks_;
    std::vector<std::string> statuses_;
    int reports_ = 0;
};

const std::string kLog = "<?xml version=\"1.0\"?>\n"
                         "<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n"
                         "<banklog money=\"0\" player=\"Ann\" type=\"1\">\n"
                         "  <item count=\"20\" name=\"Iron Nails\" qi=\"1\" type=\"7\"/>\n"
                         "</banklog>\n"
                         "<banklog money=\"123456\" player=\"Ann\" type=\"4\"/>\n"
                         "<banklog money=\"35000\" player=\"Bob\" type=\"6\"/>";

// A price source that finds nothing and looks at the folder while the run holds its copy of the log.
struct FolderWatch : ItemPriceSource {
    explicit FolderWatch(std::function<void()> look) : look(std::move(look)) {}
    ItemPrice priceOf(const std::string&) override { return {}; }
    void prefetch(const std::vector<std::string>&, std::stop_token) override { look(); }
    std::function<void()> look;
};

// A run fills the tables, has the report written and tells its statuses in order; during the scan the
// copy is open but has no name left: however the process ends, nothing stays. The bar moves through the
// whole run, the report included, and ends at 100 only when the run is complete; a stop while the report
// is written cancels the run, as one during the scan does.
TEST_F(AnalysisRunTest, FullRunReportsInOrderRemovesItsCopyAndCanStopInTheReport) {
    for (const bool stopInReport : {true, false}) {
        std::vector<std::string> filesDuringScan{"not looked"};
        FolderWatch watch([&]() { filesDuringScan = filesInFolder(); });
        hooks_.itemPrices = &watch;
        std::stop_source stop;
        std::vector<int> shown{0};
        int atReport = -1, halfReport = -1;
        hooks_.stop = stop.get_token();
        hooks_.progress = [&shown](int percent) { shown.push_back(percent); };
        hooks_.showStatus = [&](const std::string& text) {
            statuses_.push_back(text);
            atReport = text == "Generating Report" ? shown.back() : atReport;
        };
        hooks_.generateReport = [&](const StepProgress& progress) {
            progress.tell(0.5);
            halfReport = shown.back();
            if (stopInReport)
                stop.request_stop();
            return std::string();
        };
        statuses_.clear();
        const AnalysisResult result = run(kLog);
        EXPECT_EQ(result.outcome, stopInReport ? AnalysisOutcome::Cancelled : AnalysisOutcome::Complete);
        std::vector<std::string> statuses{"Cleaning up...", "Generating Report", "Complete"};
        statuses.resize(stopInReport ? 2 : 3);
        EXPECT_EQ(statuses_, statuses);
        EXPECT_TRUE(filesDuringScan.empty());
        EXPECT_TRUE(filesInFolder().empty());
        EXPECT_EQ(stats_.members.rowCount(), stopInReport ? 0u : 2u);
        EXPECT_TRUE(std::adjacent_find(shown.begin(), shown.end(), std::greater_equal<>()) == shown.end());
        EXPECT_TRUE(atReport > 0 && atReport < halfReport && halfReport < 100) << atReport << " " << halfReport;
        EXPECT_EQ(shown.back() == 100, !stopInReport);
    }
    EXPECT_EQ(stats_.guild.name, "Iron Lanterns");
    EXPECT_EQ(stats_.members.cell(1, kRepairs), "-00004.00"); // the final pass ran
    EXPECT_EQ(stats_.items.rowCount(), 1u);
}

// A mapped log gives back its pages as they are copied, yet the run still reads the elements it compares:
// the page pasted again is found and counted once.
TEST_F(AnalysisRunTest, AMappedLogGivesBackItsPagesAndStillReadsThem) {
    const fs::path log = folder_ / "twice.xml";
    const std::string text = kLog + "\n" + std::string(1 << 16, '\n') + kLog;
    std::ofstream(log) << text;
    const MappedFile mapped(log.string());
    hooks_.copied = [&mapped](std::uint64_t bytes) { mapped.release(static_cast<std::size_t>(bytes)); };
    hooks_.selection.countRepeatedOnce = true;
    EXPECT_EQ(run(mapped.text()).repeatedEntries, 3u);
    EXPECT_EQ(stats_.members.cell(0, kDeposits), "+000002");
}

TEST_F(AnalysisRunTest, FailuresAreReportedNotHidden) {
    hooks_.generateReport = [](const StepProgress&) { return std::string("Could not write report.html: disk full"); };
    AnalysisResult result = run(kLog);
    EXPECT_EQ(result.outcome, AnalysisOutcome::ReportFailed);
    EXPECT_EQ(result.message, "Could not write report.html: disk full");
    EXPECT_EQ(statuses_.back(), result.message); // never "Complete" for a report that was not written
    EXPECT_EQ(stats_.members.rowCount(), 2u);

    result = RunAnalysis(kLog, stats_, folder_ / "missing", hooks_);
    EXPECT_EQ(result.outcome, AnalysisOutcome::TempCopyFailed);
    EXPECT_NE(result.message.find("temporary copy"), std::string::npos);
    EXPECT_EQ(stats_.members.rowCount(), 0u);

    // A mapped log that another program cuts short: its lost pages read as zeros, not as a crash.
    const fs::path log = folder_ / "cut.xml";
    std::ofstream(log) << std::string(1 << 16, '\n') << kLog;
    const MappedFile mapped(log.string());
    fs::resize_file(log, 10);
    hooks_.sourceChanged = [&mapped] { return mapped.changed(); };
    result = run(mapped.text());
    EXPECT_EQ(result.outcome, AnalysisOutcome::LogChanged);
    EXPECT_EQ(result.message, kLogChangedMessage);
}

// Hands out a new price on every call, so the test sees which call a row's value came from.
class CountingPrices : public ItemPriceSource {
  public:
    ItemPrice priceOf(const std::string& name) override {
        names.push_back(name);
        return {.value = "0000" + std::to_string(names.size()) + ".00", .itemId = std::to_string(names.size())};
    }
    void prefetch(const std::vector<std::string>& itemNames, std::stop_token) override { prefetched = itemNames; }
    std::vector<std::string> names, prefetched;
};

std::string Element(const std::string& player, const std::string& ts, const std::string& type,
                    const std::string& rest) {
    return "<banklog player=\"" + player + "\" ts=\"" + ts + "\" type=\"" + type + "\" " + rest + " x=\"1\"/>\n";
}

// 2009-01-05 00:00 and 2009-01-06 23:59:59.999 in that zone.
constexpr std::uint64_t kMonday = 1231110000000, kTuesdayEnd = 1231282799999;

TEST_F(AnalysisRunTest, PeriodAndRepeatedPagesDecideWhatIsAnalysed) {
    const testing::ScopedTimeZone zone(testing::kCentralEuropeanTime);
    CountingPrices prices;
    hooks_.itemPrices = &prices;
    const std::string repeated = Element("B", std::to_string(kMonday), "4", "money=\"12345\"");
    const std::string twiceOnOnePage = Element("G", std::to_string(kMonday + 1000), "6", "money=\"500\"");
    const std::string log = "<?xml?>\n" + Element("A", std::to_string(kMonday - 1), "1", "name=\"Axe\"") + repeated +
                            Element("C", std::to_string(kTuesdayEnd), "2", "name=\"Cog\"") +
                            Element("D", std::to_string(kTuesdayEnd + 1), "4", "money=\"1\"") +
                            Element("E", "12x", "4", "money=\"1\"") +
                            Element("F", "18446744073709551616", "4", "money=\"1\"") + "<?xml?>\n" + repeated +
                            twiceOnOnePage + twiceOnOnePage;
    struct Case {
        std::optional<LocalDate> from, to;
        bool countRepeatedOnce;
        std::string members; // in order of first appearance
        std::uint64_t analysed, outsidePeriod;
        std::vector<std::string> pricedItems;
    };
    const LocalDate monday{.year = 2009, .month = 1, .day = 5}, tuesday{.year = 2009, .month = 1, .day = 6};
    const Case cases[] = {
        {std::nullopt, std::nullopt, false, "ABCDEFG", 9, 0, {"Axe", "Cog"}},
        {std::nullopt, std::nullopt, true, "ABCDEFG", 8, 0, {"Axe", "Cog"}},
        {monday, tuesday, false, "BCG", 5, 4, {"Cog"}},
        {monday, std::nullopt, false, "BCDG", 6, 3, {"Cog"}},
        {std::nullopt, tuesday, false, "ABCG", 6, 3, {"Axe", "Cog"}},
        {monday, monday, false, "BG", 4, 5, {}},
    };
    for (const Case& c : cases) {
        hooks_.selection = {};
        if (c.from || c.to)
            hooks_.selection.period = LocalDaysRange(c.from, c.to);
        hooks_.selection.countRepeatedOnce = c.countRepeatedOnce;
        prices.names.clear();
        const AnalysisResult result = run(log);
        const std::string what = std::to_string(&c - cases);
        ASSERT_EQ(result.outcome, AnalysisOutcome::Complete) << what;
        std::string members;
        for (std::size_t row = 0; row < stats_.members.rowCount(); ++row)
            members += stats_.members.cell(row, kCharacter);
        EXPECT_EQ(members, c.members) << what;
        std::uint64_t analysed = stats_.activity.undatedEntries();
        for (const auto& [week, totals] : stats_.activity.weeks())
            analysed += totals.entries;
        EXPECT_EQ(analysed, c.analysed) << what;
        EXPECT_EQ(result.outsidePeriod, c.outsidePeriod) << what;
        EXPECT_EQ(result.repeatedEntries, 1u) << what; // a page's own repeats are two transactions
        EXPECT_EQ(prices.names, c.pricedItems) << what;
        EXPECT_EQ(prices.prefetched, c.pricedItems) << what;
    }
    EXPECT_EQ(stats_.members.cell(0, kGoldDeposits), "+00002.00"); // gold keeps its own value rule: 1 gold twice
}

TEST_F(AnalysisRunTest, ActivityByIsoWeekOfTheLocalDateAndLeftOutCounts) {
    const testing::ScopedTimeZone zone(testing::kCentralEuropeanTime);
    const std::string log = "<?xml?>\n" + Element("A", "1230503400000", "4", "money=\"100\"") + // Sun 2008-12-28 23:30
                            Element("A", "1230507000000", "5", "money=\"40\"") +                // Mon 2008-12-29 00:30
                            Element("A", "1230548400000", "6", "money=\"2\"") +
                            Element("A", "1262516400000", "1", "count=\"20\" name=\"Ore\"") + // Sun 2010-01-03
                            Element("A", "1262516400000", "2", "count=\"3\" name=\"Ore\"") +
                            Element("A", "1262516400000", "3", "count=\"9\" name=\"Ore\"") +
                            Element("A", "1230419400000", "4", "money=\"1\"") + // Sun 2008-12-28 00:10
                            Element("A", "1230419400000", "4", "money=\"1000000000001\"") +
                            Element("A", "1262516400000", "1", "count=\"18446744073709551615\" name=\"Ore\"") +
                            Element("A", "1262516400000", "1", "count=\"18446744073709551615\" name=\"Ore\"") +
                            "<banklog player=\"A\" ts=\"1262516400000\" type=\"1\"><item name=\"Ore\"/></banklog>\n" +
                            Element("A", "", "4", "money=\"1\"");
    const AnalysisResult result = run(log);
    ASSERT_EQ(result.outcome, AnalysisOutcome::Complete);
    const std::map<IsoWeek, WeekTotals> expected = {
        {{.year = 2008, .week = 52}, {.entries = 3, .goldDeposited = 101}},
        {{.year = 2009, .week = 1}, {.entries = 2, .goldWithdrawn = 42}},
        {{.year = 2009, .week = 53},
         {.entries = 6, .itemsDeposited = 20 + 2 * WideAmount{UINT64_MAX}, .itemsWithdrawn = 3}}};
    EXPECT_EQ(stats_.activity.weeks(), expected);
    // Money beyond 10^12 copper, and an element on one line, whose type the token rules cannot read.
    EXPECT_EQ(LeftOutTexts(result), (std::vector<std::string>{"1 amounts too large to be read were not counted",
                                                              "1 elements had no readable type and were not counted"}));
    EXPECT_EQ(stats_.activity.undatedEntries(), 1u);
}

// Text without "?xml" is refused, writing nothing and keeping nothing of the run before; XML without
// entries completes, with a report. "?xml" may stand anywhere, in any letter case.
TEST_F(AnalysisRunTest, TextWithoutXmlIsRefusedAndKeepsNothingOfTheRunBefore) {
    run("<?xml?>\n" + Element("A", "1230503400000", "4", "money=\"100\""));
    ASSERT_EQ(stats_.members.rowCount(), 1u);
    reports_ = 0;
    EXPECT_EQ(run("<banklog money=\"1\" player=\"Ann\" type=\"4\"/>").outcome, AnalysisOutcome::NoXmlData);
    EXPECT_EQ(stats_.members.rowCount() + stats_.activity.undatedEntries(), 0u);
    EXPECT_EQ(run("junk ?XmL junk\n").outcome, AnalysisOutcome::Complete);
    EXPECT_EQ(reports_, 1);
}

} // namespace
} // namespace coffer
