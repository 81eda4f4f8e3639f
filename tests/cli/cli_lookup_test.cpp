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
namespace fs = std::filesystem;

struct CliRun {
    int exit = -1;
    std::string err;
    std::string items;  // the item table file
    std::string report; // the report file
};

class CliLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(folder_ / "log.xml") << testing::BankLog(
            {{"Ann", "1", "Iron Nails", 3}, {"Bob", "2", "Iron Nails"}, {"Bob", "1", "Salt &amp; Pepper"}});
        site_.setPage("/?search=Iron+Nails", Page(SearchPageLinking("Iron Nails", "4711")));
        site_.setPage("/?item=4711", Page(ItemPageWithPrices(12, 5, 1, 0)));
        site_.setPage("/?search=Salt+%26+Pepper", Page(SearchPageSaving("815")));
        site_.setPage("/?item=815", Page(ItemPageSelling(0, 7)));
    }

    CliRun run(std::vector<std::string> options) {
        const fs::path items = folder_ / "items.tsv";
        const fs::path report = folder_ / "report.html";
        fs::remove(items);
        fs::remove(report);
        for (const std::string& file : {(folder_ / "log.xml").string(), std::string("--items"), items.string(),
                                        std::string("-o"), report.string()})
            options.push_back(file);
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        CliRun result;
        result.exit = RunCli(options, in, out, err, "today");
        result.err = err.str();
        result.items = ReadFile(items);
        result.report = ReadFile(report);
        return result;
    }

    LoreholdSite site_;
    TempFolder temp_;
    const fs::path& folder_ = temp_.path();
};

TEST_F(CliLookup, LooksUpItemValuesOnTheGivenSite) {
    const CliRun result = run({"--lookup", "--item-db", site_.base() + "/"});
    ASSERT_EQ(result.exit, kCliSuccess) << result.err;
    EXPECT_NE(result.items.find("Iron Nails\t00010\t3\t00012.05\tDeposit\tAnn\t4711\n"), std::string::npos)
        << result.items;
    EXPECT_NE(result.items.find("Iron Nails\t00010\t1\t00012.05\tWithdrawal\tBob\t4711\n"), std::string::npos);
    EXPECT_NE(result.items.find("Salt &amp; Pepper\t00010\t1\t00000.07\tDeposit\tBob\t815\n"), std::string::npos);
    EXPECT_NE(result.err.find("Connecting to " + site_.base() + "/?search=Iron+Nails\n"), std::string::npos);
    EXPECT_NE(result.report.find(site_.base() + "/?item=4711"), std::string::npos);
    EXPECT_EQ(site_.requestCount(), 4);
}

TEST_F(CliLookup, WithoutLookupTheSiteIsOnlyLinked) {
    const CliRun result = run({"--item-db=" + site_.base()});
    ASSERT_EQ(result.exit, kCliSuccess) << result.err;
    EXPECT_EQ(site_.requestCount(), 0);
    EXPECT_EQ(result.err.find("Connecting to"), std::string::npos);
    EXPECT_NE(result.report.find(site_.base() + "/?search=Iron+Nails"), std::string::npos);
}

TEST_F(CliLookup, UnreachableSiteLeavesTheValuesEmpty) {
    const CliRun result = run({"--lookup", "--item-db", "http://127.0.0.1:1", "--quiet"});
    ASSERT_EQ(result.exit, kCliSuccess) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.items.find("Iron Nails\t00010\t3\t00000.00\tDeposit\tAnn\t\n"), std::string::npos) << result.items;
}

TEST_F(CliLookup, ItemDatabaseMustBeAWebAddress) {
    for (const char* address : {"lorehold.example", "ftp://lorehold.example", "http://", "https:///"}) {
        const CliRun result = run({"--lookup", "--item-db", address});
        EXPECT_EQ(result.exit, kCliFailure) << address;
        EXPECT_NE(result.err.find("--item-db"), std::string::npos) << address;
        EXPECT_EQ(result.items, "") << address;
    }
    EXPECT_EQ(run({"--lookup", "--item-db"}).exit, kCliFailure);
}

} // namespace
} // namespace coffer
