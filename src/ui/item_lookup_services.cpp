#include "ui/item_lookup_services.h"

#include "analysis/download/network_downloader.h"
#include "analysis/item_lookup.h"
#include "analysis/web_item_prices.h"

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

std::function<std::string(const std::string& itemName)> ItemPageResolver(std::string base) {
    return [base = std::move(base)](const std::string& itemName) {
        return ResolveItemPageAddress(base, itemName, [](const std::string& address) { return DownloadText(address); });
    };
}

} // namespace coffer
