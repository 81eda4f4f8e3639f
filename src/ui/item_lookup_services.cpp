// SPDX-License-Identifier: MIT
#include "ui/item_lookup_services.h"

#include "analysis/lookup/item_lookup.h"
#include "analysis/lookup/site_addresses.h"
#include "analysis/lookup/web_item_prices.h"
#include "net/network_downloader.h"

namespace coffer {
namespace {

// A run's price source together with the downloader it uses; both live on the run's thread.
class RunPriceSource : public ItemPriceSource {
  public:
    RunPriceSource(std::string base, StatusFunction status)
        : prices_(std::move(base), downloader_, std::move(status)) {}

    ItemPrice priceOf(const std::string& itemName) override { return prices_.priceOf(itemName); }
    void prefetch(const std::vector<std::string>& itemNames, std::stop_token stop) override {
        prices_.prefetch(itemNames, stop);
    }

  private:
    NetworkDownloader downloader_;
    WebItemPriceSource prices_;
};

} // namespace

AnalysisJob::PriceSourceFactory WebPriceSources(std::string base) {
    return [base = std::move(base)](const AnalysisHooks& hooks) -> std::unique_ptr<ItemPriceSource> {
        return std::make_unique<RunPriceSource>(base, hooks.showStatus);
    };
}

AddressResolver ItemPageResolver(std::string base) {
    // One downloader per request: replacing it drops the request still pending.
    auto pending = std::make_shared<std::unique_ptr<NetworkDownloader>>();
    return [base = std::move(base), pending](const std::string& itemName, std::function<void(std::string)> done) {
        *pending = std::make_unique<NetworkDownloader>();
        NetworkDownloader& downloader = **pending;
        downloader.setFinishedNotifier([&downloader] { downloader.waitForAny(); });
        downloader.start(ItemSearchAddress(base, itemName),
                         [base, itemName, done = std::move(done)](PageResult result) {
                             done(ItemPageAddressFromSearch(base, itemName, result.page));
                         });
    };
}

} // namespace coffer
