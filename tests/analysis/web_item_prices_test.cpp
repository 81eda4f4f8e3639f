#include "analysis/web_item_prices.h"

#include "analysis/analysis_run.h"
#include "support/bank_log_text.h"
#include "support/one_by_one_prices.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace coffer {
namespace {

constexpr const char* kBase = "http://lorehold.test";

// A site behind a downloader that finishes its downloads in a chosen order, one per waitForAny.
class ScriptedDownloader : public PageDownloader {
  public:
    enum class Order { OldestFirst, NewestFirst, Shuffled };

    explicit ScriptedDownloader(std::map<std::string, std::string> pages, Order order = Order::OldestFirst)
        : pages_(std::move(pages)), order_(order) {}

    void start(const std::string& address, PageHandler done) override {
        ++requests_[address];
        pending_.push_back({address, std::move(done)});
        maxInFlight_ = std::max(maxInFlight_, inFlight());
    }
    void waitForAny() override {
        if (pending_.empty())
            return;
        std::size_t next = 0;
        if (order_ == Order::NewestFirst)
            next = pending_.size() - 1;
        else if (order_ == Order::Shuffled)
            next = std::uniform_int_distribution<std::size_t>(0, pending_.size() - 1)(random_);
        Pending finished = std::move(pending_[next]);
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(next));
        const auto page = pages_.find(finished.address);
        finished.done(page == pages_.end() ? std::string() : page->second);
    }
    int inFlight() const override { return static_cast<int>(pending_.size()); }

    int maxInFlight() const { return maxInFlight_; }
    int requests() const {
        int total = 0;
        for (const auto& [address, count] : requests_)
            total += count;
        return total;
    }
    int mostRequestsOfOneAddress() const {
        int most = 0;
        for (const auto& [address, count] : requests_)
            most = std::max(most, count);
        return most;
    }

  private:
    struct Pending {
        std::string address;
        PageHandler done;
    };
    std::map<std::string, std::string> pages_;
    Order order_;
    std::vector<Pending> pending_;
    std::map<std::string, int> requests_;
    int maxInFlight_ = 0;
    std::mt19937 random_{7};
};

std::string Link(const std::string& name, int number) {
    return "<a href=\"/?item=" + std::to_string(number) + "\">" + name + "</a>";
}

std::string Buyout(int gold, int silver) {
    return "Buyout price</span><span class=\"moneygold\">" + std::to_string(gold) +
           "</span><span class=\"moneysilver\">" + std::to_string(silver) + "</span>";
}

// A catalogue of `count` items whose pages take every shape the lookup knows, pseudo-randomly.
std::map<std::string, std::string> MixedCatalogue(const std::vector<std::string>& names) {
    std::map<std::string, std::string> pages;
    std::mt19937 random(11);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const int number = 1000 + static_cast<int>(i);
        const std::string search = ItemSearchAddress(kBase, name);
        const std::string item = ItemPageAddress(kBase, std::to_string(number));
        switch (random() % 6) {
        case 0:
            pages[search] = Link(name, number);
            break;
        case 1:
            pages[search] = "<script>su_addToSaved('" + std::to_string(number) + "')</script>";
            break;
        case 2:
            pages[search] = "No results";
            break;
        case 3:
            break; // the search fails
        case 4:
            pages[search] = Link("Other " + name, number);
            break;
        default:
            pages[search] = Link(name, number) + "su_addToSaved('1')";
            break;
        }
        switch (random() % 4) {
        case 0:
            pages[item] = Buyout(static_cast<int>(random() % 2000), static_cast<int>(random() % 100));
            break;
        case 1:
            pages[item] = "Sells for <span class=\"moneysilver\">" + std::to_string(random() % 100) + "<";
            break;
        case 2:
            pages[item] = "<html>no price</html>";
            break;
        default:
            break; // the item page fails
        }
    }
    return pages;
}

std::vector<std::string> ItemNames(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i)
        names.push_back("Item " + std::to_string(i) + (i % 7 == 0 ? " &amp; Co" : ""));
    return names;
}

TEST(WebItemPrices, PrefetchGivesEveryNameItsOneByOneAnswerWithAtMostSixInFlight) {
    const std::vector<std::string> names = ItemNames(300);
    const auto catalogue = MixedCatalogue(names);
    for (const auto order : {ScriptedDownloader::Order::OldestFirst, ScriptedDownloader::Order::NewestFirst,
                             ScriptedDownloader::Order::Shuffled}) {
        ScriptedDownloader concurrent(catalogue, order);
        std::vector<std::string> statuses;
        WebItemPriceSource prices(kBase, concurrent, [&](const std::string& text) { statuses.push_back(text); });
        prices.prefetch(names);

        ScriptedDownloader sequential(catalogue);
        for (const std::string& name : names) {
            const ItemPrice expected = LookUpItemPrice(
                kBase, name, [&](const std::string& address) { return sequential.download(address); }, {});
            const ItemPrice got = prices.priceOf(name);
            EXPECT_EQ(got.value, expected.value) << name;
            EXPECT_EQ(got.itemId, expected.itemId) << name;
        }
        EXPECT_EQ(concurrent.maxInFlight(), kMaxDownloadsInFlight);
        EXPECT_EQ(concurrent.mostRequestsOfOneAddress(), 1);
        EXPECT_EQ(concurrent.requests(), sequential.requests()) << "priceOf after prefetch downloaded again";
        EXPECT_EQ(static_cast<int>(statuses.size()), concurrent.requests());
    }
}

TEST(WebItemPrices, RemembersEveryResultOfTheRunAndForgetsItAtTheNext) {
    const std::string search = ItemSearchAddress(kBase, "Iron Nails");
    ScriptedDownloader downloader({{search, "No results"}});
    WebItemPriceSource prices(kBase, downloader, {});
    prices.prefetch({});
    EXPECT_EQ(prices.priceOf("Iron Nails").value, kNoValue);
    EXPECT_EQ(prices.priceOf("Iron Nails").value, kNoValue);
    EXPECT_EQ(downloader.requests(), 1) << "a miss is remembered too";
    prices.prefetch({"Iron Nails", "Iron Nails"});
    EXPECT_EQ(downloader.requests(), 2) << "a new run looks up again, a name listed twice once";
}

struct RunOutcome {
    GuildStats stats;
    int requests = 0;
};

RunOutcome Analyse(const std::string& log, const std::map<std::string, std::string>& pages, bool prefetching) {
    RunOutcome outcome;
    ScriptedDownloader downloader(pages, ScriptedDownloader::Order::Shuffled);
    WebItemPriceSource remembering(kBase, downloader, {});
    testing::OneByOnePrices oneByOne(kBase, downloader);
    AnalysisHooks hooks;
    hooks.itemPrices = prefetching ? static_cast<ItemPriceSource*>(&remembering) : &oneByOne;
    const testing::TempFolder folder;
    const AnalysisResult result = RunAnalysis(log, outcome.stats, folder.path(), hooks);
    EXPECT_EQ(result.outcome, AnalysisOutcome::Complete);
    outcome.requests = downloader.requests();
    return outcome;
}

TEST(WebItemPrices, RunLooksEachItemUpOnceUnderItsNameWithSpaces) {
    const std::string search = ItemSearchAddress(kBase, "Iron Nails");
    const std::string hidden = ItemSearchAddress(kBase, "Hidden Gem");
    const std::map<std::string, std::string> pages = {
        {search, Link("Iron Nails", 5)},
        {ItemPageAddress(kBase, "5"), Buyout(1, 50)},
        {hidden, "No results"},
    };
    // "Hidden Gem" is never deposited: type 3 adds no row, so only the remembered miss saves a download.
    const std::string log = testing::BankLog({{"Ann", "3", "Hidden Gem"},
                                              {"Ann", "1", "Iron Nails", 2},
                                              {"Bob", "2", "Iron Nails", 1},
                                              {"Bob", "3", "Hidden Gem"}});
    for (const bool prefetching : {false, true}) {
        const RunOutcome outcome = Analyse(log, pages, prefetching);
        const StatsTable& items = outcome.stats.items;
        ASSERT_EQ(items.rowCount(), 2u);
        for (std::size_t row = 0; row < 2; ++row) {
            EXPECT_EQ(items.cell(row, kItem), "Iron Nails");
            EXPECT_EQ(items.cell(row, kItemValue), "00001.50");
            EXPECT_EQ(items.cell(row, kItemNumber), "5");
        }
        EXPECT_EQ(outcome.requests, prefetching ? 3 : 4);
    }
}

TEST(WebItemPrices, ItemNotFoundIsServedFromItsRowWithoutAnotherDownload) {
    const std::string log = testing::BankLog({{"Ann", "1", "Mystery Box"}, {"Bob", "2", "Mystery Box"}});
    const RunOutcome outcome = Analyse(log, {}, false);
    EXPECT_EQ(outcome.requests, 1);
    ASSERT_EQ(outcome.stats.items.rowCount(), 2u);
    EXPECT_EQ(outcome.stats.items.cell(1, kItemValue), kNoValue);
    EXPECT_EQ(outcome.stats.items.cell(1, kItemNumber), "");
}

} // namespace
} // namespace coffer
