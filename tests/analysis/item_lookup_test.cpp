// SPDX-License-Identifier: MIT
#include "analysis/lookup/item_lookup.h"
#include "analysis/lookup/web_item_prices.h"
#include "analysis/tables/transaction_totals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace coffer {
namespace {

constexpr const char* kBase = "http://db.example";
const std::string kSearch = "http://db.example/?search=Iron+Nails";
const std::string kLink = R"(<a href="/?item=7">Iron Nails</a>)";

// Serves pages by address (the empty text for any other) and counts the downloads.
struct FakeSite {
    std::map<std::string, std::string> pages;
    int downloads = 0;
    DownloadFunction download() {
        return [this](const std::string& address) {
            ++downloads;
            return pages.contains(address) ? pages[address] : std::string();
        };
    }
};

std::string Money(const std::string& gold, const std::string& silver) {
    return R"(<span class="moneygold">)" + gold + R"(</span><span class="moneysilver">)" + silver + "</span>";
}

TEST(ItemLookup, FindsTheItemOnTheSearchPageThenItsPriceOnTheItemPage) {
    const struct {
        const char* scenario;
        std::string search;
        std::string item; // the page at /?item=7
        std::string value;
        std::string id;
    } cases[] = {
        {"first link naming the item wins over other links and the saved call",
         R"(su_addToSaved('1')<a href="/?item=2">Iron Nails of Doom</a>)" + kLink +
             R"(<a href="/?item=3">Iron Nails</a>)",
         Money("1", "10"), "00001.10", "7"},
        {"markers and name in any letter case", R"(<A HREF="/?ITEM=7">IRON nails</A>)", Money("1", "10"), "00001.10",
         "7"},
        {"fallback: the saved call", "<script>su_addToSaved('7');su_addToSaved('8');</script>", Money("3", "0"),
         "00003.00", "7"},
        {"fallback from a link without a number", R"(<a href="/?item=">Iron Nails</a>SU_ADDTOSAVED('7'))",
         Money("3", "0"), "00003.00", "7"},
        {"saved call without its end", "su_addToSaved('7", Money("3", "0"), "00003.00", "7"},
        {"nothing found: no item page asked", R"(<a href="/?item=1">Copper Nails</a> su_addToSaved(''))", "", kNoValue,
         ""},
        {"only the selling price", kLink, "<span>Sells for <span>" + Money("7", "99"), "00007.99", "7"},
        {"gold without silver", kLink, R"(Sells for <span><span class="moneygold">3</span>)", "00003.00", "7"},
        {"silver without gold", kLink, R"(Sells for <span><span class="moneysilver">7</span>)", "00000.07", "7"},
        {"price markers in any letter case", kLink, R"(BUYOUT PRICE</SPAN><span class="MoneyGold"> 4 </span>)",
         "00004.00", "7"},
        {"money marker without its end", kLink, R"(Buyout price</span><span class="moneygold">12)", "00012.00", "7"},
        {"gold that is not a number", kLink, Money("1,234", "5"), kNoValue, "7"},
        {"silver of three digits", kLink, Money("1", "123"), kNoValue, "7"},
        // A page cannot blow up the tables: overlong numbers are not found, and the search stops there.
        {"item number of 20 characters", R"(<a href="/?item=12345678901234567890">Iron Nails</a>)", "", kNoValue,
         "12345678901234567890"},
        {"item number of 21 characters", "su_addToSaved('123456789012345678901')", "", kNoValue, ""},
        {"gold of 12 digits", kLink, Money("123456789012", "34"), "123456789012.34", "7"},
        {"gold of 13 digits", kLink, Money("1234567890123", "34"), kNoValue, ""},
    };
    for (const auto& c : cases) {
        FakeSite site{{{kSearch, c.search}, {"http://db.example/?item=7", c.item}}};
        const ItemPrice price = LookUpItemPrice(kBase, "Iron Nails", site.download(), {});
        EXPECT_EQ(price.value, c.value) << c.scenario;
        EXPECT_EQ(price.itemId, c.id) << c.scenario;
        EXPECT_EQ(site.downloads, c.id.empty() && c.item.empty() ? 1 : 2) << c.scenario;
    }
    // The page an item's row opens: the item's own for a link, else the search.
    EXPECT_EQ(ItemPageAddressFromSearch(kBase, "Iron Nails", kLink), "http://db.example/?item=7");
    for (const char* page : {"su_addToSaved('7')", ""})
        EXPECT_EQ(ItemPageAddressFromSearch(kBase, "Iron Nails", page), kSearch) << page;
}

// A site that finds nothing: every download gives the empty text, the downloads for which
// `timesOut(n)` holds (n counts from 1) by running out of time. All in flight end together.
struct EmptySite : PageDownloader {
    std::function<bool(int download)> timesOut;
    std::vector<std::pair<int, PageHandler>> pending;
    int downloads = 0;
    void start(const std::string&, PageHandler done) override { pending.emplace_back(++downloads, std::move(done)); }
    void waitForAny() override {
        for (auto& [download, done] : std::exchange(pending, {}))
            done({.page = {}, .timedOut = timesOut(download), .failure = {}});
    }
    int inFlight() const override { return static_cast<int>(pending.size()); }
    void abortAll() override {}
};

// Six time-outs in a row give the site up for the rest of the run: no more downloads, every item at
// "00000.00", the status said once. Any other ending breaks the row; the next run tries again.
TEST(WebItemPrices, SixTimeOutsInARowGiveTheSiteUp) {
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i)
        names.push_back("Box " + std::to_string(i));
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
        WebItemPriceSource prices(kBase, site, [&](const std::string& text) { statuses.push_back(text); });
        for (int run = 1; run <= 2; ++run) {
            site.downloads = 0;
            statuses.clear();
            prices.prefetch(names, {});
            for (const std::string& name : names)
                EXPECT_EQ(prices.priceOf(name).value, kNoValue) << c.scenario;
            EXPECT_EQ(site.downloads, c.downloads) << c.scenario << ", run " << run;
            EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kNotAnsweringMessage), c.downloads < 30 ? 1 : 0)
                << c.scenario;
        }
    }
}

} // namespace
} // namespace coffer
