// coffer-cli's item value lookup against the local item database site.
#include "cli/cli.h"

#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace coffer {
namespace {

using namespace testing;

TEST(CliLookup, LooksUpItemValuesOnlyWhenAskedAndLinksTheGivenSite) {
    LoreholdSite site;
    site.setPage(SearchTarget("Iron Nails"), Page(SearchPageLinking("Iron Nails", "4711")));
    site.setPage(ItemTarget("4711"), Page(ItemPageWithPrices(12, 5, 1, 0)));
    const TempFolder folder;
    std::ofstream(folder / "log.xml") << BankLog({{"Ann", "1", "Iron Nails", 3}});
    const struct {
        std::vector<std::string> options;
        int exit;
        std::string row;  // the item's row in the item table file
        std::string link; // the item's link in the report
    } cases[] = {
        {{"--lookup", "--item-db", site.base() + "/"}, kCliSuccess, "00012.05\tDeposit\tAnn\t4711\n", "/?item=4711"},
        {{"--item-db=" + site.base()}, kCliSuccess, "00000.00\tDeposit\tAnn\t\n", "/?search=Iron+Nails"},
        {{"--lookup", "--item-db", "ftp://db.example"}, kCliFailure, "", ""},
        {{"--item-db", "http://db.example/x'><script>alert(1)</script>"}, kCliFailure, "", ""},
        {{"--item-db", "http://db.example?q=1"}, kCliFailure, "", ""},
        {{"--item-db", "https://"}, kCliFailure, "", ""},
        {{"--item-db", "http://user@db.example"}, kCliFailure, "", ""},
        {{"--item-db", "http://db.example:80x"}, kCliFailure, "", ""},
    };
    for (const auto& c : cases) {
        site.forgetRequests();
        std::filesystem::remove(folder / "items.tsv");
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {(folder / "log.xml").string(), "--items", (folder / "items.tsv").string(), "-o",
                                 (folder / "report.html").string()});
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(RunCli(args, in, out, err, "today"), c.exit) << args[0] << err.str();
        const bool lookUp = c.options[0] == "--lookup" && c.exit == kCliSuccess;
        EXPECT_EQ(site.requestCount(), lookUp ? 2 : 0);
        EXPECT_EQ(err.str().find("Connecting to " + site.base() + "/?search=Iron+Nails\n") != std::string::npos,
                  lookUp);
        if (c.exit == kCliFailure) {
            EXPECT_NE(err.str().find("--item-db needs an http:// or https://"), std::string::npos) << err.str();
            continue;
        }
        const std::string items = ReadFile(folder / "items.tsv");
        EXPECT_NE(items.find("\nIron Nails\t00010\t3\t" + c.row), std::string::npos) << items;
        EXPECT_NE(ReadFile(folder / "report.html").find(site.base() + c.link), std::string::npos) << c.link;
    }
}

} // namespace
} // namespace coffer
