#include "analysis/web_item_prices.h"

#include "analysis/analysis_run.h"
#include "support/bank_log_text.h"
#include "support/one_by_one_prices.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace coffer {
namespace {

// A site that finds nothing: every download gives the empty text.
struct EmptySite : PageDownloader {
    std::vector<PageHandler> pending;
    int downloads = 0;
    void start(const std::string&, PageHandler done) override {
        ++downloads;
        pending.push_back(std::move(done));
    }
    void waitForAny() override {
        for (PageHandler& done : std::exchange(pending, {}))
            done("");
    }
    int inFlight() const override { return static_cast<int>(pending.size()); }
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

} // namespace
} // namespace coffer
