// SPDX-License-Identifier: MIT
// The downloader and the item lookup over the network, against the local item database site.
#include "analysis/analysis_run.h"
#include "analysis/lookup/web_item_prices.h"
#include "net/network_downloader.h"

#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace coffer {
namespace {

using namespace testing;

// Whatever the site does, a download ends within the deadline (plus slack for a busy machine) and gives
// the whole body, inflated when it came compressed, or the empty text for a transfer that broke, never
// ended, stopped before the end of its length or of its compressed stream, or passed the size cap
// (sent or inflated), and says why. One past the cap ends at once, so that hostile bodies never hold
// more memory than the cap.
TEST(NetworkDownloader, GivesTheWholeBodyOrTheEmptyTextWithinTheDeadline) {
    const DownloadLimits limits{.stallTimeout = std::chrono::milliseconds(1000),
                                .deadline = std::chrono::milliseconds(2000),
                                .maxBytes = 64 * 1024};
    const std::string priced = ItemPageWithPrices(99, 1, 1, 1);
    const std::string full = priced + std::string(64 * 1024 - priced.size(), ' '), over = full + ' ';
    const char *kTooLarge = "the page is larger than 64 KiB", *kStalled = "nothing came for 1 seconds",
               *kPastDeadline = "the page was not complete within 2 seconds", *kCutShort = "the page was cut short";
    const TempFolder folder;
    const std::string localFile = (folder.path() / "item.html").string();
    std::ofstream(localFile) << priced;
    const struct {
        const char* scenario;
        Response response;
        std::string text;
        std::string failure;     // what the result says went wrong
        bool pastTheCap = false; // ends as soon as the cap is passed, holding no more than it
    } cases[] = {
        {"redirect followed", {.status = 302, .location = "/new"}, "the new page", ""},
        {"exactly the size cap", Page(full), full, ""},
        {"exactly the size cap, until closed", {.body = full, .sendLength = false}, full, ""},
        {"past the size cap", Page(over), "", kTooLarge, true},
        {"past the size cap, until closed", {.body = over, .sendLength = false}, "", kTooLarge, true},
        {"never answers", {.fault = Fault::NeverAnswers}, "", kStalled},
        {"trickled headers", {.fault = Fault::TrickleHeaders}, "", kStalled},
        {"trickled body", {.body = priced, .fault = Fault::TrickleBody}, "", kPastDeadline},
        {"endless fast body", {.body = priced, .fault = Fault::EndlessBody}, "", kTooLarge, true},
        {"endless fast chunks", {.body = priced, .fault = Fault::EndlessChunks}, "", kTooLarge, true},
        {"redirect loop", {.status = 302, .location = "/page"}, "", "HTTP 302"},
        {"redirect to a local file", {.status = 302, .location = "file://" + localFile}, "", "HTTP 302"},
        {"redirect to ftp", {.status = 302, .location = "ftp://127.0.0.1/item.html"}, "", "HTTP 302"},
        {"reset mid-body", {.body = priced, .fault = Fault::ResetMidBody}, "", kCutShort},
        {"gzip", {.body = Compressed(priced, Packing::Gzip), .encoding = "gzip"}, priced, ""},
        {"deflate", {.body = Compressed(priced, Packing::Zlib), .encoding = "Deflate"}, priced, ""},
        {"gzip, its stream never ends",
         {.body = Compressed(priced, Packing::GzipWithoutEnd), .encoding = "gzip"},
         "",
         kCutShort},
        {"gzip, reset mid-body",
         {.body = Compressed(priced, Packing::Gzip), .fault = Fault::ResetMidBody, .encoding = "gzip"},
         "",
         kCutShort},
        {"gzip, more after its end",
         {.body = Compressed(priced, Packing::Gzip) + "<p>", .encoding = "gzip"},
         "",
         "the compressed page is damaged (more follows the end of its stream)"},
        {"gzip, not compressed",
         {.body = priced, .encoding = "gzip"},
         "",
         "the compressed page is damaged (incorrect header check)"},
        {"brotli",
         {.body = priced, .encoding = "br"},
         "",
         "the page came compressed as \"br\", which this program cannot read"},
        {"gzip bomb",
         {.body = Compressed(std::string(1 << 20, '\0'), Packing::Gzip), .encoding = "gzip"},
         "",
         kTooLarge,
         true},
        {"206 Partial Content", Page(priced, 206), priced, "HTTP 206"},
    };
    LoreholdSite site;
    site.setPage("/new", Page("the new page"));
    const auto result = [&](const std::string& address) { return NetworkDownloader(limits).download(address); };
    for (const auto& c : cases) {
        site.setPage("/page", c.response);
        const auto start = std::chrono::steady_clock::now();
        const PageResult got = result(site.base() + "/page");
        EXPECT_TRUE(got.page == c.text) << c.scenario;
        EXPECT_EQ(got.failure, c.failure) << c.scenario;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, c.pastTheCap ? limits.stallTimeout : limits.deadline + std::chrono::seconds(3)) << c.scenario;
    }
    EXPECT_EQ(result("http://127.0.0.1:1/").failure, "Connection refused");
    site.setPage("/page", Page("\xFF\xC3(" + priced + "\xED\xA0\x80"));
    EXPECT_NE(result(site.base() + "/page").page.find(priced), std::string::npos) << "bad UTF-8 around";
}

// Passes the downloads on, counting them and noting the most the program had in flight at once. The
// count is the program's own: Qt sends a request again by itself when the site closes a connection
// just as the request goes out, so the site may see one more.
struct Watched : PageDownloader {
    explicit Watched(PageDownloader& inner) : inner(inner) {}
    void start(const std::string& address, PageHandler done) override {
        ++started;
        inner.start(address, std::move(done));
        most = std::max(most, inner.inFlight());
    }
    void waitForAny() override { inner.waitForAny(); }
    int inFlight() const override { return inner.inFlight(); }
    void abortAll() override { inner.abortAll(); }
    PageDownloader& inner;
    int started = 0;
    int most = 0;
};

// Stocks the site with the item's pages in one of several shapes, faults included. Gives the value and
// the item number the lookup must find; adds the pages it must ask for to `requests`.
std::pair<std::string, std::string> Stock(LoreholdSite& site, const std::string& name, int i, int& requests) {
    const std::string number = std::to_string(5000 + i);
    const std::string search = ItemSearchAddress("", name);
    const std::string item = ItemPageAddress("", number);
    const int gold = i * 7 % 3000;
    const int silver = i % 100;
    char price[16];
    std::snprintf(price, sizeof price, "%05d.%02d", gold, silver);
    requests += i % 6 < 4 ? 2 : 1;
    switch (i % 6) {
    case 0:
        site.setPage(search, Page(SearchPageLinking(name, number)));
        site.setPage(item, Page(ItemPageWithPrices(gold, silver, 1, 1)));
        return {price, number};
    case 1:
        site.setPage(search, {.body = SearchPageSaving(number), .sendLength = false});
        site.setPage(item, Page(ItemPageWithPrices(gold, silver, 2, 2)));
        return {price, number};
    case 2: // An error page that links the item is read like any other page.
        site.setPage(search, Page(SearchPageLinking(name, number), 500));
        site.setPage(item, {.body = ItemPageWithPrices(gold, silver, 0, 0), .sendLength = false});
        return {price, number};
    case 3: // The item page shows no price, is missing, or once is never answered.
        site.setPage(search, Page(SearchPageLinking(name, number)));
        if (i % 12 == 3)
            site.setPage(item, i == 3 ? Response{.fault = Fault::NeverAnswers} : Page("<html>garbage <<<>>>"));
        return {kNoValue, number};
    case 4:
        site.setPage(search, Page(SearchPageLinking("Other " + name, number)));
        return {kNoValue, ""};
    default:
        return {kNoValue, ""}; // no search page
    }
}

// Up to six downloads at once, each page asked once: every row gets the value and number of its item,
// names that need encoding included.
TEST(ItemLookupSite, ConcurrentLookupFindsEveryItemAskingEachPageOnce) {
    const char* odd[] = {" &amp; Son's &quot;Best&quot;", " Blade/Axe", " der Fl\xC3\xBCsse", " 100% #2?"};
    LoreholdSite site;
    site.setDelay(std::chrono::milliseconds(2));
    std::vector<std::string> names;
    std::map<std::string, std::pair<std::string, std::string>> found;
    int requests = 0;
    for (int i = 0; i < 300; ++i) {
        names.push_back("Item " + std::to_string(i) + (i % 5 == 0 ? odd[i / 5 % 4] : ""));
        found[names.back()] = Stock(site, names.back(), i, requests);
    }
    std::vector<Entry> entries;
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 300; ++i)
            entries.push_back({"Member" + std::to_string((i + round) % 23),
                               (i + round) % 4 == 3 ? "3" : (i % 2 ? "1" : "2"),
                               names[static_cast<std::size_t>((i * 37 + round) % 300)], 1 + i % 5});
    const std::string log = BankLog(entries);

    // Long enough that a busy machine never stalls a healthy transfer for that long.
    NetworkDownloader downloader({.stallTimeout = std::chrono::milliseconds(2000)});
    Watched watched(downloader);
    WebItemPriceSource remembering(site.base(), watched, {});
    GuildStats stats;
    AnalysisHooks hooks;
    hooks.itemPrices = &remembering;
    const TempFolder folder;
    ASSERT_EQ(RunAnalysis(log, stats, folder.path(), hooks).outcome, AnalysisOutcome::Complete);
    EXPECT_EQ(watched.started, requests) << "every page once";
    EXPECT_EQ(watched.most, kMaxDownloadsInFlight);
    for (std::size_t row = 0; row < stats.items.rowCount(); ++row) {
        const std::string item(stats.items.cell(row, kItem));
        EXPECT_EQ(
            std::pair(std::string(stats.items.cell(row, kItemValue)), std::string(stats.items.cell(row, kItemNumber))),
            found.at(item))
            << item;
    }
}

} // namespace
} // namespace coffer
