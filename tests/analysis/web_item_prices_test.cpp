#include "analysis/web_item_prices.h"

#include "analysis/analysis_run.h"
#include "support/bank_log_text.h"
#include "support/one_by_one_prices.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace coffer {
namespace {

// A site that finds nothing: every download gives the empty text, the downloads for which
// `timesOut(n)` holds (n counts from 1) by running out of time. All in flight end together.
struct EmptySite : PageDownloader {
    std::function<bool(int download)> timesOut = [](int) { return false; };
    std::vector<std::pair<int, PageHandler>> pending;
    int downloads = 0;
    void start(const std::string&, PageHandler done) override { pending.emplace_back(++downloads, std::move(done)); }
    void waitForAny() override {
        for (auto& [download, done] : std::exchange(pending, {}))
            done({.page = {}, .timedOut = timesOut(download)});
    }
    int inFlight() const override { return static_cast<int>(pending.size()); }
    void abortAll() override {}
};

// "Mystery Box" is not found (value "00000.00", no number). A move (type 3) adds no row; the
// deposit's row then serves the withdrawal. The remembering source asks once per run.
TEST(WebItemPrices, AnItemNotFoundIsDownloadedOnlyUntilARunKnowsIt) {
    const std::string log =
        testing::BankLog({{"Ann", "3", "Mystery Box"}, {"Ann", "1", "Mystery Box"}, {"Bob", "2", "Mystery Box"}});
    EmptySite site;
    testing::OneByOnePrices oneByOne("http://db.example", site);
    WebItemPriceSource remembering("http://db.example", site, {});
    const struct {
        const char* scenario;
        ItemPriceSource* source;
        int downloads;
    } cases[] = {
        {"one by one", &oneByOne, 2}, {"remembering", &remembering, 1}, {"remembering, next run", &remembering, 1}};
    for (const auto& c : cases) {
        site.downloads = 0;
        GuildStats stats;
        AnalysisHooks hooks;
        hooks.itemPrices = c.source;
        const testing::TempFolder folder;
        ASSERT_EQ(RunAnalysis(log, stats, folder.path(), hooks).outcome, AnalysisOutcome::Complete);
        EXPECT_EQ(site.downloads, c.downloads) << c.scenario;
        ASSERT_EQ(stats.items.rowCount(), 2u);
        EXPECT_EQ(stats.items.cell(1, kItemValue), kNoValue) << c.scenario;
        EXPECT_EQ(stats.items.cell(1, kItemNumber), "") << c.scenario;
    }
}

// Six time-outs in a row give the site up for the rest of the run: no more downloads, every item at
// "00000.00", the status said once. Any other ending breaks the row; the next run tries again.
TEST(WebItemPrices, SixTimeOutsInARowGiveTheSiteUp) {
    std::vector<testing::Entry> entries;
    for (int i = 0; i < 30; ++i)
        entries.push_back({"Ann", "1", "Box " + std::to_string(i)});
    const std::string log = testing::BankLog(entries);
    const struct {
        const char* scenario;
        std::function<bool(int)> timesOut;
        int downloads; // a search per name, unless given up
    } cases[] = {
        {"every download times out", [](int) { return true; }, 6},
        {"every sixth answers", [](int n) { return n % 6 != 0; }, 30},
        {"one answer, then silence", [](int n) { return n != 5; }, 12}, // the sixth wave was in flight
    };
    for (const auto& c : cases) {
        EmptySite site;
        site.timesOut = c.timesOut;
        std::vector<std::string> statuses;
        WebItemPriceSource prices("http://db.example", site,
                                  [&](const std::string& text) { statuses.push_back(text); });
        for (int run = 1; run <= 2; ++run) {
            site.downloads = 0;
            statuses.clear();
            GuildStats stats;
            AnalysisHooks hooks;
            hooks.itemPrices = &prices;
            const testing::TempFolder folder;
            ASSERT_EQ(RunAnalysis(log, stats, folder.path(), hooks).outcome, AnalysisOutcome::Complete);
            EXPECT_EQ(site.downloads, c.downloads) << c.scenario << ", run " << run;
            EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kNotAnsweringMessage), c.downloads < 30 ? 1 : 0)
                << c.scenario;
            ASSERT_EQ(stats.items.rowCount(), 30u);
            for (std::size_t row = 0; row < 30; ++row)
                EXPECT_EQ(stats.items.cell(row, kItemValue), kNoValue) << c.scenario;
        }
    }
}

} // namespace
} // namespace coffer
