// The item lookup over the network, against the local item database site.
#include "analysis/analysis_run.h"
#include "analysis/download/network_downloader.h"
#include "analysis/web_item_prices.h"

#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/one_by_one_prices.h"
#include "support/table_difference.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace coffer {
namespace {

using namespace testing;

// Long enough that a busy machine never stalls a healthy transfer for that long.
constexpr DownloadLimits kPatientLimits{std::chrono::milliseconds(2000), 16 * 1024 * 1024};

// Counts the downloads the program starts (the network layer may retry a reset connection itself).
class CountingDownloader : public PageDownloader {
  public:
    explicit CountingDownloader(PageDownloader& inner) : inner_(inner) {}
    void start(const std::string& address, PageHandler done) override {
        ++starts_[address];
        inner_.start(address, std::move(done));
    }
    void waitForAny() override { inner_.waitForAny(); }
    int inFlight() const override { return inner_.inFlight(); }

    int mostStartsOfOneAddress() const {
        int most = 0;
        for (const auto& [address, count] : starts_)
            most = std::max(most, count);
        return most;
    }

  private:
    PageDownloader& inner_;
    std::map<std::string, int> starts_;
};

GuildStats Analyse(const std::string& log, ItemPriceSource& prices) {
    GuildStats stats;
    AnalysisHooks hooks;
    hooks.itemPrices = &prices;
    const TempFolder folder;
    EXPECT_EQ(RunAnalysis(log, stats, folder.path(), hooks).outcome, AnalysisOutcome::Complete);
    return stats;
}

// Stocks the site with the item's pages in one of many shapes, faults included; returns the value
// the lookup must find for it.
std::string Stock(LoreholdSite& site, const std::string& name, int i) {
    const std::string number = std::to_string(5000 + i);
    const std::string search = SearchTarget(name);
    const std::string item = ItemTarget(number);
    const int gold = i * 7 % 3000;
    const int silver = i % 100;
    const auto price = [&] {
        return std::to_string(100000 + gold).substr(1) + "." + std::to_string(100 + silver).substr(1);
    };
    switch (i % 12) {
    case 0:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Page(ItemPageWithPrices(gold, silver, 1, 1)));
        return price();
    case 1:
        site.setPage(search, Page(SearchPageSaving(number)));
        site.setPage(item, Page(ItemPageSelling(gold, silver)));
        return price();
    case 2:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Page("<html>No price</html>"));
        return kNoValue;
    case 3:
        return kNoValue; // search page not found
    case 4:              // An error page that still links the item is read like any other page.
        site.setPage(search, Page(SearchPageLinking(name, number), 500));
        site.setPage(item, Page(ItemPageSelling(gold, silver)));
        return price();
    case 5:
        site.setPage(search, Failing(Fault::Reset));
        return kNoValue;
    case 6:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Failing(i == 6 ? Fault::Hang : Fault::Reset));
        return kNoValue;
    case 7:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, i == 7 ? Page(std::string(20 * 1024 * 1024, 'x')) : Page("garbage <<<>>>"));
        return kNoValue;
    case 8:
        site.setPage(search, Page(SearchPageLinking("Other " + name, number)));
        return kNoValue;
    case 9:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Redirect(site.base() + "/moved" + number));
        site.setPage("/moved" + number, Page(ItemPageWithPrices(gold, silver, 0, 0)));
        return price();
    case 10:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Page("<html>Server trouble</html>", 404));
        return kNoValue;
    default:
        site.setPage(search, PageUntilClose(SearchPageLinking(name, number)));
        site.setPage(item, PageUntilClose(ItemPageWithPrices(gold, silver, 2, 2)));
        return price();
    }
}

TEST(ItemLookupSite, ConcurrentLookupFillsTheTablesExactlyAsTheSequentialOne) {
    LoreholdSite site;
    site.setDelay(std::chrono::milliseconds(2));
    std::vector<std::string> names;
    std::vector<std::string> values;
    for (int i = 0; i < 300; ++i) {
        names.push_back("Item " + std::to_string(i) + (i % 5 == 0 ? " &amp; Son's &quot;Best&quot;" : ""));
        values.push_back(Stock(site, names.back(), i));
    }
    std::vector<testing::Entry> entries;
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 300; ++i)
            entries.push_back({"Member" + std::to_string((i + round) % 23),
                               (i + round) % 4 == 3 ? "3" : (i % 2 ? "1" : "2"),
                               names[static_cast<std::size_t>((i * 37 + round) % 300)], 1 + i % 5});
    const std::string log = testing::BankLog(entries);

    NetworkDownloader downloader(kPatientLimits);
    OneByOnePrices oneByOne(site.base(), downloader);
    const GuildStats sequential = Analyse(log, oneByOne);
    const int sequentialRequests = site.requestCount();

    site.forgetRequests();
    CountingDownloader counting(downloader);
    WebItemPriceSource remembering(site.base(), counting, {});
    const GuildStats concurrent = Analyse(log, remembering);

    EXPECT_EQ(FirstDifference(sequential.items, concurrent.items), std::nullopt);
    EXPECT_EQ(FirstDifference(sequential.members, concurrent.members), std::nullopt);
    EXPECT_LE(site.maxInFlight(), kMaxDownloadsInFlight);
    EXPECT_GT(site.maxInFlight(), 1);
    EXPECT_EQ(counting.mostStartsOfOneAddress(), 1);
    EXPECT_LT(site.requestCount(), sequentialRequests);
    // Both are right, not merely alike.
    for (std::size_t row = 0; row < concurrent.items.rowCount(); ++row) {
        const std::string& name = concurrent.items.cell(row, kItem);
        const auto i = static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
        ASSERT_LT(i, names.size()) << name;
        EXPECT_EQ(concurrent.items.cell(row, kItemValue), values[i]) << name;
    }
}

TEST(ItemLookupSite, NamesThatNeedEscapingAreSearchedAndMatchedAsTheLogWritesThem) {
    const struct {
        std::string logName; // as the log's attribute writes it
        std::string target;  // the search the site must see
    } cases[] = {
        {"Salt &amp; Pepper", "/?search=Salt+%26+Pepper"},
        {"Q'uel &quot;Tom&quot; Blade/Axe", "/?search=Q%27uel+%22Tom%22+Blade%2FAxe"},
        {"Schwert der Fl\xC3\xBC"
         "sse",
         "/?search=Schwert+der+Fl%C3%BCsse"},
        {"100% Cotton #2?", "/?search=100%25+Cotton+%232%3F"},
    };
    LoreholdSite site;
    std::vector<testing::Entry> entries;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string number = std::to_string(70 + i);
        site.setPage(cases[i].target, Page(SearchPageLinking(cases[i].logName, number)));
        site.setPage("/?item=" + number, Page(ItemPageSelling(static_cast<int>(i) + 1, 50)));
        entries.push_back({"Ann", "1", cases[i].logName});
    }
    NetworkDownloader downloader(kPatientLimits);
    WebItemPriceSource prices(site.base(), downloader, {});
    const GuildStats stats = Analyse(testing::BankLog(entries), prices);
    ASSERT_EQ(stats.items.rowCount(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(site.requestsFor(cases[i].target), 1) << cases[i].logName;
        EXPECT_EQ(stats.items.cell(i, kItemValue), "0000" + std::to_string(i + 1) + ".50") << cases[i].logName;
        EXPECT_EQ(stats.items.cell(i, kItemNumber), std::to_string(70 + i)) << cases[i].logName;
    }
}

TEST(ItemLookupSite, ItemPageAddressIsTheItemPageOrTheSearchPage) {
    LoreholdSite site;
    site.setPage(SearchTarget("Iron Nails"), Page(SearchPageLinking("Iron Nails", "4711")));
    site.setPage(SearchTarget("Copper Nails"), Page(SearchPageSaving("12")));
    const DownloadFunction download = [](const std::string& address) { return DownloadText(address, kPatientLimits); };
    EXPECT_EQ(ResolveItemPageAddress(site.base(), "Iron Nails", download), site.base() + "/?item=4711");
    EXPECT_EQ(ResolveItemPageAddress(site.base(), "Copper Nails", download), site.base() + "/?search=Copper+Nails");
    EXPECT_EQ(ResolveItemPageAddress(site.base(), "Tin Nails", download), site.base() + "/?search=Tin+Nails");
    const std::string down = "http://127.0.0.1:1";
    EXPECT_EQ(ResolveItemPageAddress(down, "Iron Nails", download), down + "/?search=Iron+Nails");
}

} // namespace
} // namespace coffer
