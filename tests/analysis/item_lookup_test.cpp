#include "analysis/item_lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace coffer {
namespace {

constexpr const char* kBase = "http://www.lorehold.example";

TEST(ItemLookup, SearchAddressEncodesTheNameAsWrittenInTheLog) {
    const struct {
        std::string name;
        std::string address;
    } cases[] = {
        {"Iron Nails", "http://www.lorehold.example/?search=Iron+Nails"},
        {"Salt &amp; Pepper", "http://www.lorehold.example/?search=Salt+%26+Pepper"},
        {"Q'uel &quot;Lost&quot; Blade/Axe", "http://www.lorehold.example/?search=Q%27uel+%22Lost%22+Blade%2FAxe"},
        {"Schwert der Fl\xC3\xBC"
         "sse",
         "http://www.lorehold.example/?search=Schwert+der+Fl%C3%BCsse"},
        {"Caf&#233;?x=1#top", "http://www.lorehold.example/?search=Caf%C3%A9%3Fx%3D1%23top"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemSearchAddress(kBase, c.name), c.address) << c.name;
    EXPECT_EQ(ItemPageAddress(kBase, "4711"), "http://www.lorehold.example/?item=4711");
    EXPECT_EQ(ItemPageAddress(kBase, "12 3&x"), "http://www.lorehold.example/?item=12%203%26x");
}

TEST(ItemLookup, SearchPageGivesTheLinkedItemNumberOrTheSavedOne) {
    const struct {
        const char* scenario;
        std::string page;
        std::string name;
        std::optional<std::string> number;
    } cases[] = {
        {"link", R"(<tr><td class="q2"><a href="/?item=4711">Iron Nails</a></td></tr>)", "Iron Nails", "4711"},
        {"first matching link of several",
         R"(<a href="/?item=1">Iron Nails of Doom</a><a href="/?item=2">Iron Nails</a><a href="/?item=3">Iron Nails</a>)",
         "Iron Nails", "2"},
        {"name and query marker in any letter case", R"(<a href="/?ITEM=77">IRON nails</a>)", "Iron Nails", "77"},
        {"links split only at a lower-case marker: one piece, its first query",
         R"(<A HREF="/?item=1">Other</A><A HREF="/?item=2">Iron Nails</A>)", "Iron Nails", "1"},
        {"name with a reference, as the page writes it", R"(<a href="/?item=9">Salt &amp; Pepper</a>)",
         "Salt &amp; Pepper", "9"},
        {"query without an end runs to the end of the piece", R"(<a href=x>Iron Nails</a> see ?item=42)", "Iron Nails",
         "42"},
        {"link without a number falls back to the saved call",
         R"(<a href="/?item=">Iron Nails</a><script>su_addToSaved('55');</script>)", "Iron Nails", "55"},
        {"saved call when no link names the item",
         R"(<a href="/?item=1">Copper Nails</a><script>su_addToSaved('815');su_addToSaved('816');</script>)",
         "Iron Nails", "815"},
        {"saved call in another letter case", "<script>SU_ADDTOSAVED('12')</script>", "Iron Nails", "12"},
        {"saved call without an end runs to the end of the page", "su_addToSaved('99", "Iron Nails", "99"},
        {"link wins over the saved call", R"(su_addToSaved('2') <a href="/?item=1">Iron Nails</a>)", "Iron Nails", "1"},
        {"name without its closing bracket", R"(<a href="/?item=1">Iron Nails)", "Iron Nails", std::nullopt},
        {"nothing found", "<html><body>No items found.</body></html>", "Iron Nails", std::nullopt},
        {"empty page", "", "Iron Nails", std::nullopt},
        {"empty saved call", "su_addToSaved('')", "Iron Nails", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemNumberFromSearchPage(c.page, c.name), c.number) << c.scenario;
}

TEST(ItemLookup, ItemPageGivesTheBuyoutPriceElseTheSellingPrice) {
    auto money = [](const std::string& gold, const std::string& silver) {
        return R"(<span class="moneygold">)" + gold + R"(</span><span class="moneysilver">)" + silver + "</span>";
    };
    const struct {
        const char* scenario;
        std::string page;
        std::string value;
    } cases[] = {
        {"both prices: the buyout wins",
         "<div>Sells for <span>" + money("1", "2") + "</span></div><span>Buyout price</span>" + money("12", "5"),
         "00012.05"},
        {"buyout before selling price",
         "<span>Buyout price</span>" + money("3", "40") + "Sells for <span" + money("1", "1"), "00003.40"},
        {"only the selling price", "Sells for <span>" + money("7", "99") + "</span>", "00007.99"},
        {"price without a marker", money("2", "10"), "00002.10"},
        {"the buyout region ends at a second buyout marker",
         "Buyout price</span>none Buyout price</span>" + money("9", "9"), "00000.00"},
        {"markers in any letter case", "BUYOUT PRICE</SPAN>" + std::string(R"(<span class="MoneyGold">4</span>)"),
         "00004.00"},
        {"gold without silver", R"(Sells for <span><span class="moneygold">3</span>)", "00003.00"},
        {"silver without gold", R"(Sells for <span><span class="moneysilver">7</span>)", "00000.07"},
        {"two-digit silver stays", money("0", "05"), "00000.05"},
        {"gold wider than five digits is not cut", money("123456", "1"), "123456.01"},
        {"blanks around the numbers", money(" 12 ", "\n5 "), "00012.05"},
        {"gold marker without an end runs to the end of the page", R"(Buyout price</span><span class="moneygold">12)",
         "00012.00"},
        {"silver marker without an end runs to the end of the page", R"(<span class="moneysilver">7)", "00000.07"},
        {"no price", "<html><body>An item.</body></html>", "00000.00"},
        {"empty page", "", "00000.00"},
        {"gold that is not a number", money("1,234", "5"), "00000.00"},
        {"silver of three digits", money("1", "123"), "00000.00"},
        {"negative gold", money("-5", "0"), "00000.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValueFromItemPage(c.page), c.value) << c.scenario;
}

// Serves pages by address and writes down every status text and download, in order.
struct ScriptedSite {
    std::map<std::string, std::string> pages;
    std::vector<std::string> events;

    DownloadFunction download() {
        return [this](const std::string& address) {
            events.push_back("get " + address);
            const auto page = pages.find(address);
            return page == pages.end() ? std::string() : page->second;
        };
    }
    StatusFunction status() {
        return [this](const std::string& text) { events.push_back(text); };
    }
};

TEST(ItemLookup, LooksUpTheSearchPageThenTheItemPageShowingEachAddressFirst) {
    const std::string search = "http://www.lorehold.example/?search=Iron+Nails";
    const std::string item = "http://www.lorehold.example/?item=4711";
    const std::string link = R"(<a href="/?item=4711">Iron Nails</a>)";
    const struct {
        const char* scenario;
        std::map<std::string, std::string> pages;
        ItemPrice price;
        std::vector<std::string> events;
    } cases[] = {
        {"found and priced",
         {{search, link}, {item, R"(Buyout price</span><span class="moneygold">12</span>)"}},
         {"00012.00", "4711"},
         {"Connecting to " + search, "get " + search, "Connecting to " + item, "get " + item}},
        {"found, item page without a price",
         {{search, link}, {item, "<html></html>"}},
         {"00000.00", "4711"},
         {"Connecting to " + search, "get " + search, "Connecting to " + item, "get " + item}},
        {"found, item page not to be had",
         {{search, link}},
         {"00000.00", "4711"},
         {"Connecting to " + search, "get " + search, "Connecting to " + item, "get " + item}},
        {"not found: one download",
         {{search, "No items"}},
         {"00000.00", ""},
         {"Connecting to " + search, "get " + search}},
        {"site down: one download", {}, {"00000.00", ""}, {"Connecting to " + search, "get " + search}},
    };
    for (const auto& c : cases) {
        ScriptedSite site{c.pages, {}};
        const ItemPrice price = LookUpItemPrice(kBase, "Iron Nails", site.download(), site.status());
        EXPECT_EQ(price.value, c.price.value) << c.scenario;
        EXPECT_EQ(price.itemId, c.price.itemId) << c.scenario;
        EXPECT_EQ(site.events, c.events) << c.scenario;
    }
}

TEST(ItemLookup, ItemPageAddressComesFromTagLinksOnly) {
    const std::string search = "http://www.lorehold.example/?search=Iron+Nails";
    const struct {
        const char* scenario;
        std::map<std::string, std::string> pages;
        std::string address;
    } cases[] = {
        {"linked",
         {{search, R"(<td><a href="/?item=4711">Iron Nails</a></td>)"}},
         "http://www.lorehold.example/?item=4711"},
        {"the saved call is no link", {{search, "su_addToSaved('4711')"}}, search},
        {"no link to the name", {{search, R"(<a href="/?item=1">Copper Nails</a>)"}}, search},
        {"link without a number", {{search, R"(<a href="/?item=">Iron Nails</a>)"}}, search},
        // Split at "<a href=", the stray "a href=" does not start a piece: the piece's first query counts.
        {"split with the bracket",
         {{search, R"(<a href="/?item=1">Other</a> a href="/?item=2">Iron Nails<)"}},
         "http://www.lorehold.example/?item=1"},
        {"site down", {}, search},
    };
    for (const auto& c : cases) {
        ScriptedSite site{c.pages, {}};
        EXPECT_EQ(ResolveItemPageAddress(kBase, "Iron Nails", site.download()), c.address) << c.scenario;
        EXPECT_EQ(site.events, std::vector<std::string>{"get " + search}) << c.scenario;
    }
    // The item lookup itself splits at "a href=" and finds the second link.
    ScriptedSite site{cases[4].pages, {}};
    EXPECT_EQ(LookUpItemPrice(kBase, "Iron Nails", site.download(), {}).itemId, "2");
}

} // namespace
} // namespace coffer
