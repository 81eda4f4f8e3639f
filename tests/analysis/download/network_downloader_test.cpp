#include "analysis/download/network_downloader.h"

#include "support/lorehold_site.h"

#include <QHostAddress>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace coffer {
namespace {

using testing::Failing;
using testing::Fault;
using testing::LoreholdSite;
using testing::Page;
using testing::PageUntilClose;
using testing::Redirect;
using testing::Response;

// Short enough that a hanging site costs the test little, long enough that a busy machine never
// stalls a healthy transfer for that long.
constexpr DownloadLimits kQuickLimits{std::chrono::milliseconds(1000), 16 * 1024 * 1024};

TEST(NetworkDownloader, GivesTheBodyExactlyOrTheErrorPage) {
    const struct {
        const char* scenario;
        Response response;
    } cases[] = {
        {"empty body", Page("")},
        {"one byte", Page("x")},
        {"255 bytes", Page(std::string(255, 'a'))},
        {"256 bytes", Page(std::string(256, 'b'))},
        {"257 bytes", Page(std::string(257, 'c'))},
        {"multi-byte characters across any chunk boundary", Page(std::string(255, 'd') + "Fl\xC3\xBCsse \xE2\x82\xAC")},
        {"body ended by closing the connection", PageUntilClose("<html>closed</html>")},
        {"not found", Page("<html>No such page</html>", 404)},
        {"server error", Page("<html>Internal error</html>", 500)},
    };
    LoreholdSite site;
    NetworkDownloader downloader(kQuickLimits);
    for (const auto& c : cases) {
        site.setPage("/page", c.response);
        EXPECT_EQ(downloader.download(site.base() + "/page"), c.response.body) << c.scenario;
    }
}

TEST(NetworkDownloader, GivesTheEmptyTextWhenNoWholeResponseCanBeHad) {
    const std::string huge(20 * 1024 * 1024, 'x');
    const struct {
        const char* scenario;
        Response response;
    } cases[] = {
        {"connection reset", Failing(Fault::Reset)},
        {"no answer within the time-out", Failing(Fault::Hang)},
        {"20 MiB announced", Page(huge)},
        {"20 MiB until the connection closes", PageUntilClose(huge)},
    };
    LoreholdSite site;
    NetworkDownloader downloader(kQuickLimits);
    for (const auto& c : cases) {
        site.setPage("/page", c.response);
        EXPECT_EQ(downloader.download(site.base() + "/page"), "") << c.scenario;
    }
}

TEST(NetworkDownloader, SizeCapAllowsABodyOfExactlyItsSize) {
    LoreholdSite site;
    NetworkDownloader downloader({kQuickLimits.stallTimeout, 1000});
    for (const bool sendLength : {true, false}) {
        auto page = [sendLength](std::string body) { return sendLength ? Page(body) : PageUntilClose(body); };
        site.setPage("/fits", page(std::string(1000, 'f')));
        site.setPage("/over", page(std::string(1001, 'o')));
        EXPECT_EQ(downloader.download(site.base() + "/fits").size(), 1000u) << sendLength;
        EXPECT_EQ(downloader.download(site.base() + "/over"), "") << sendLength;
    }
}

TEST(NetworkDownloader, NobodyListening) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const std::string address = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/";
    probe.close();
    EXPECT_EQ(DownloadText(address, kQuickLimits), "");
    EXPECT_EQ(DownloadText("not an address", kQuickLimits), "");
}

TEST(NetworkDownloader, FollowsRedirectsAndAsksPastCaches) {
    LoreholdSite site;
    site.setPage("/old", Redirect(site.base() + "/new"));
    site.setPage("/new", Page("the new page"));
    EXPECT_EQ(DownloadText(site.base() + "/old"), "the new page");
    EXPECT_EQ(site.requestsFor("/new"), 1);
    const auto& headers = site.lastRequestHeaders();
    EXPECT_EQ(headers.at("user-agent"), "Mozilla");
    EXPECT_EQ(headers.at("cache-control"), "no-cache");
    EXPECT_EQ(headers.at("pragma"), "no-cache");
}

TEST(NetworkDownloader, RunsDownloadsSideBySideAndHandsEachItsOwnPage) {
    LoreholdSite site;
    site.setDelay(std::chrono::milliseconds(20));
    NetworkDownloader downloader(kQuickLimits);
    std::vector<std::string> pages(8);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        site.setPage("/" + std::to_string(i), Page("page " + std::to_string(i)));
        downloader.start(site.base() + "/" + std::to_string(i), [&pages, i](std::string page) { pages[i] = page; });
    }
    EXPECT_EQ(downloader.inFlight(), 8);
    while (downloader.inFlight() > 0)
        downloader.waitForAny();
    for (std::size_t i = 0; i < pages.size(); ++i)
        EXPECT_EQ(pages[i], "page " + std::to_string(i));
    EXPECT_GT(site.maxInFlight(), 1);
}

} // namespace
} // namespace coffer
