#pragma once
// The reference the remembering, prefetching source is measured against: the lookup entry by entry,
// as the sequential algorithm does it, with no memory of earlier results.

#include "analysis/item_lookup.h"
#include "analysis/page_downloader.h"

#include <string>

namespace coffer::testing {

struct OneByOnePrices : ItemPriceSource {
    OneByOnePrices(std::string base, PageDownloader& downloader) : base(std::move(base)), downloader(downloader) {}
    ItemPrice priceOf(const std::string& itemName) override {
        return LookUpItemPrice(base, itemName, [this](const std::string& at) { return downloader.download(at).page; },
                               {});
    }
    std::string base;
    PageDownloader& downloader;
};

} // namespace coffer::testing
