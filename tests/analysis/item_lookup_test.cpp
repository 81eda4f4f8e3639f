#include "analysis/item_lookup.h"
#include "analysis/transaction_totals.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

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
        {"link found", kLink, Money("12", "50"), "00012.50", "7"},
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
        {"both prices: the buyout wins", kLink,
         "Sells for <span>" + Money("1", "2") + "Buyout price</span>" + Money("12", "5"), "00012.05", "7"},
        {"only the selling price", kLink, "<span>Sells for <span>" + Money("7", "99"), "00007.99", "7"},
        {"gold without silver", kLink, R"(Sells for <span><span class="moneygold">3</span>)", "00003.00", "7"},
        {"silver without gold", kLink, R"(Sells for <span><span class="moneysilver">7</span>)", "00000.07", "7"},
        {"price markers in any letter case", kLink, R"(BUYOUT PRICE</SPAN><span class="MoneyGold"> 4 </span>)",
         "00004.00", "7"},
        {"money marker without its end", kLink, R"(Buyout price</span><span class="moneygold">12)", "00012.00", "7"},
        {"gold that is not a number", kLink, Money("1,234", "5"), kNoValue, "7"},
        {"silver of three digits", kLink, Money("1", "123"), kNoValue, "7"},
        {"no item page to be had", kLink, "", kNoValue, "7"},
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
}

// The page an item's row opens: only an "<a href=" link to the item gives the item page.
TEST(ItemLookup, ItemPageAddressIsTheLinkedItemElseTheSearch) {
    const std::pair<std::string, std::string> cases[] = {
        {kLink, "http://db.example/?item=7"},
        {"su_addToSaved('7')", kSearch},
        {R"(<a href="/?item=1">Copper Nails</a>)", kSearch},
        {"", kSearch}, // the site is down
    };
    for (const auto& [page, address] : cases)
        EXPECT_EQ(ItemPageAddressFromSearch(kBase, "Iron Nails", page), address) << page;
}

} // namespace
} // namespace coffer
