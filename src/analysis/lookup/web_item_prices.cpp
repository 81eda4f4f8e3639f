// SPDX-License-Identifier: MIT
#include "analysis/lookup/web_item_prices.h"

#include "analysis/lookup/site_addresses.h"

#include <deque>

namespace coffer {

WebItemPriceSource::WebItemPriceSource(std::string base, PageDownloader& downloader, StatusFunction status,
                                       int maxInFlight)
    : base_(std::move(base)), downloader_(downloader), status_(std::move(status)), maxInFlight_(maxInFlight) {}

void WebItemPriceSource::note(const PageResult& result) {
    if (!answering())
        return;
    timeoutsInARow_ = result.timedOut ? timeoutsInARow_ + 1 : 0;
    if (!answering() && status_)
        status_(kNotAnsweringMessage);
}

ItemPrice WebItemPriceSource::priceOf(const std::string& itemName) {
    if (const auto known = known_.find(itemName); known != known_.end())
        return known->second;
    if (!answering())
        return {};
    ItemPrice price = LookUpItemPrice(
        base_, itemName,
        [this](const std::string& address) {
            if (!answering())
                return std::string();
            PageResult result = downloader_.download(address);
            note(result);
            return std::move(result.page);
        },
        status_);
    known_.emplace(itemName, price);
    return price;
}

void WebItemPriceSource::prefetch(const std::vector<std::string>& itemNames, std::stop_token stop) {
    known_.clear();
    timeoutsInARow_ = 0;
    const std::stop_callback abortOnStop(stop, [this] { downloader_.abortAll(); });
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
        downloader_.start(address, [this, &inFlight, handler = std::move(handler)](PageResult result) {
            --inFlight;
            note(result);
            handler(std::move(result));
        });
    };
    auto startSearch = [&](const std::string& name) {
        const auto [slot, added] = known_.try_emplace(name);
        if (!added)
            return;
        ItemPrice* price = &slot->second;
        startDownload(ItemSearchAddress(base_, name), [&, price, &name = slot->first](PageResult result) {
            if (std::optional<std::string> number = ItemNumberFromSearchPage(result.page, name)) {
                itemPages.push_back({price, ItemPageAddress(base_, *number)});
                price->itemId = std::move(*number);
            }
        });
    };
    auto fill = [&]() {
        // A site given up on leaves the names not yet asked for as "not found", and the items whose
        // page is still to be had at "00000.00", as a failed item page would.
        while (inFlight < maxInFlight_ && answering() && !stop.stop_requested()) {
            if (!itemPages.empty()) {
                // Item pages go first: they finish a name, and their searches are already paid for.
                PendingItemPage next = std::move(itemPages.front());
                itemPages.pop_front();
                ItemPrice* price = next.price;
                startDownload(next.address,
                              [price](PageResult result) { *price = PriceFromItemPage(result.page, price->itemId); });
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
