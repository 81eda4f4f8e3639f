#include "analysis/web_item_prices.h"

#include <deque>

namespace coffer {

WebItemPriceSource::WebItemPriceSource(std::string base, PageDownloader& downloader, StatusFunction status,
                                       int maxInFlight)
    : base_(std::move(base)), downloader_(downloader), status_(std::move(status)), maxInFlight_(maxInFlight) {}

ItemPrice WebItemPriceSource::priceOf(const std::string& itemName) {
    if (const auto known = known_.find(itemName); known != known_.end())
        return known->second;
    ItemPrice price = LookUpItemPrice(
        base_, itemName, [this](const std::string& address) { return downloader_.download(address); }, status_);
    known_.emplace(itemName, price);
    return price;
}

void WebItemPriceSource::prefetch(const std::vector<std::string>& itemNames) {
    known_.clear();
    // The same two steps as LookUpItemPrice, interleaved over all names. Each name's result starts as
    // "not found" and is filled in as its pages arrive; map nodes stay put while the map grows.
    struct PendingItemPage {
        ItemPrice* price;
        std::string address;
    };
    std::deque<PendingItemPage> itemPages;
    std::size_t nextName = 0;
    int inFlight = 0;

    auto startDownload = [&](const std::string& address, PageHandler handler) {
        if (status_)
            status_("Connecting to " + address);
        ++inFlight;
        downloader_.start(address, [&inFlight, handler = std::move(handler)](std::string page) {
            --inFlight;
            handler(std::move(page));
        });
    };
    auto startSearch = [&](const std::string& name) {
        const auto [slot, added] = known_.try_emplace(name);
        if (!added)
            return;
        ItemPrice* price = &slot->second;
        startDownload(ItemSearchAddress(base_, name), [&, price, &name = slot->first](std::string page) {
            if (std::optional<std::string> number = ItemNumberFromSearchPage(page, name)) {
                itemPages.push_back({price, ItemPageAddress(base_, *number)});
                price->itemId = std::move(*number);
            }
        });
    };
    auto fill = [&]() {
        while (inFlight < maxInFlight_) {
            if (!itemPages.empty()) {
                // Item pages go first: they finish a name, and their searches are already paid for.
                PendingItemPage next = std::move(itemPages.front());
                itemPages.pop_front();
                ItemPrice* price = next.price;
                startDownload(next.address, [price](std::string page) { price->value = ValueFromItemPage(page); });
            } else if (nextName < itemNames.size()) {
                startSearch(itemNames[nextName++]);
            } else {
                return;
            }
        }
    };

    fill();
    while (inFlight > 0) {
        downloader_.waitForAny();
        fill();
    }
}

} // namespace coffer
