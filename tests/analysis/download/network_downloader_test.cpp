#include "net/network_downloader.h"

#include "support/lorehold_site.h"

#include <gtest/gtest.h>

#include <string>

namespace coffer {
namespace {

using testing::Page;
using testing::Response;

std::string DownloadText(const std::string& address, const DownloadLimits& limits) {
    return NetworkDownloader(limits).download(address).page;
}

TEST(NetworkDownloader, GivesTheWholeBodyOrTheEmptyText) {
    const std::string full(1000, 'f');
    const std::string over(1001, 'o');
    const struct {
        const char* scenario;
        Response response;
        std::string text;
    } cases[] = {
        {"empty body", Page(""), ""},
        {"error status: the error page", Page("<html>No such page</html>", 404), "<html>No such page</html>"},
        {"redirect followed", {.status = 302, .location = "/new"}, "the new page"},
        {"exactly the size cap", Page(full), full},
        {"exactly the size cap, until closed", {.body = full, .sendLength = false}, full},
        {"past the size cap", Page(over), ""},
        {"past the size cap, until closed", {.body = over, .sendLength = false}, ""},
    };
    testing::LoreholdSite site;
    site.setPage("/new", Page("the new page"));
    // Long enough that a busy machine never stalls a healthy transfer for that long.
    const DownloadLimits limits{.stallTimeout = std::chrono::milliseconds(3000), .maxBytes = 1000};
    for (const auto& c : cases) {
        site.setPage("/page", c.response);
        EXPECT_EQ(DownloadText(site.base() + "/page", limits), c.text) << c.scenario;
    }
    EXPECT_EQ(DownloadText("http://127.0.0.1:1/", limits), "") << "connection refused";
}

} // namespace
} // namespace coffer
