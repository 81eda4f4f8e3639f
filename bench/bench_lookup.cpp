// SPDX-License-Identifier: MIT
// bench_lookup: the whole analysis with the item lookup on, against the local item database site
// answering every page after a delay: entry by entry (the sequential algorithm) and with the names
// prefetched side by side. Prints the figures.
//
//   bench_lookup [ITEMS [DELAY_MS]]      defaults: 300 distinct items, 50 ms

#include "analysis/analysis_run.h"
#include "analysis/lookup/item_lookup.h"
#include "analysis/lookup/page_downloader.h"
#include "analysis/lookup/web_item_prices.h"
#include "net/network_downloader.h"
#include "report/report_file.h"
#include "shell/product_config.h"
#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace coffer;

// The reference the remembering, prefetching source is measured against: the lookup entry by entry,
// as the sequential algorithm does it, with no memory of earlier results.
struct OneByOnePrices : ItemPriceSource {
    OneByOnePrices(std::string base, PageDownloader& downloader) : base(std::move(base)), downloader(downloader) {}
    ItemPrice priceOf(const std::string& itemName) override {
        return LookUpItemPrice(base, itemName, [this](const std::string& at) { return downloader.download(at).page; },
                               {});
    }
    std::string base;
    PageDownloader& downloader;
};

// Where the tables first differ ("row 3 column 2: 00012.05 / 00000.00"), or nothing when they are alike.
std::optional<std::string> FirstDifference(const StatsTable& a, const StatsTable& b) {
    if (a.rowCount() != b.rowCount())
        return std::to_string(a.rowCount()) + " rows / " + std::to_string(b.rowCount()) + " rows";
    for (std::size_t row = 0; row < a.rowCount(); ++row)
        for (std::size_t column = 0; column < a.columnCount(); ++column)
            if (a.cell(row, column) != b.cell(row, column))
                return "row " + std::to_string(row) + " column " + std::to_string(column) + ": " +
                       std::string(a.cell(row, column)) + " / " + std::string(b.cell(row, column));
    return std::nullopt;
}

struct Figures {
    double seconds = 0;
    int requests = 0;
    GuildStats stats;
};

Figures Analyse(const std::string& log, ItemPriceSource& prices, testing::LoreholdSite& site,
                const std::filesystem::path& folder) {
    Figures figures;
    ReportSettings settings{.playersPerSection = 10,
                            .itemsPerSection = 25,
                            .armoryBase = kArmoryBase,
                            .itemDatabaseBase = site.base(),
                            .programName = "Coffer",
                            .website = "coffer.example",
                            .createdOn = "now"};
    AnalysisHooks hooks;
    hooks.itemPrices = &prices;
    hooks.generateReport = [&](const StepProgress&) {
        return GenerateReport(figures.stats, settings, folder / "report.html");
    };
    site.forgetRequests();
    const auto started = std::chrono::steady_clock::now();
    const AnalysisResult result = RunAnalysis(log, figures.stats, folder, hooks);
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    figures.requests = site.requestCount();
    if (result.outcome != AnalysisOutcome::Complete)
        std::fprintf(stderr, "analysis failed: %s\n", result.message.c_str());
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int items = argc > 1 ? std::stoi(argv[1]) : 300;
    const int delayMs = argc > 2 ? std::stoi(argv[2]) : 50;

    // Ten entries per item, spread over the log and over 200 members; one in fifty moves an item
    // between tabs (type 3), which the table does not remember but the lookup must price.
    std::vector<testing::Entry> entries;
    std::set<std::string> names;
    for (int i = 0; i < items * 10; ++i) {
        const int item = (i * 7919) % items;
        const std::string name = "Item " + std::to_string(item) + (item % 3 == 0 ? " of the Owl" : "");
        names.insert(name);
        entries.push_back(
            {"Member" + std::to_string(i % 200), i % 50 == 49 ? "3" : (i % 2 == 0 ? "1" : "2"), name, 1 + i % 20});
    }
    const std::string log = testing::BankLog(entries);

    testing::LoreholdSite site;
    int number = 1000;
    for (const std::string& name : names) {
        const std::string id = std::to_string(number++);
        site.setPage(ItemSearchAddress("", name), testing::Page(testing::SearchPageLinking(name, id)));
        site.setPage(ItemPageAddress("", id), testing::Page(testing::ItemPageWithPrices(number % 500, 25, 1, 0)));
    }
    site.setDelay(std::chrono::milliseconds(delayMs));

    const testing::TempFolder folder;
    NetworkDownloader downloader;
    OneByOnePrices oneByOne(site.base(), downloader);
    WebItemPriceSource prefetching(site.base(), downloader, {});
    const Figures sequential = Analyse(log, oneByOne, site, folder.path());
    const Figures concurrent = Analyse(log, prefetching, site, folder.path());

    std::printf("%zu entries, %zu distinct items, every page answered after %d ms\n", entries.size(), names.size(),
                delayMs);
    std::printf("sequential:  %7.2f s  %5d requests\n", sequential.seconds, sequential.requests);
    std::printf("concurrent:  %7.2f s  %5d requests  (at most %d in flight)\n", concurrent.seconds, concurrent.requests,
                site.maxInFlight());
    auto difference = FirstDifference(sequential.stats.items, concurrent.stats.items);
    if (!difference)
        difference = FirstDifference(sequential.stats.members, concurrent.stats.members);
    std::printf("tables identical: %s\n", difference ? ("NO, " + *difference).c_str() : "yes");
    return difference ? 1 : 0;
}
