#pragma once
// The reference the remembering, prefetching source is measured against: the lookup entry by entry,
// as the sequential algorithm does it, with no memory of earlier results.

#include "analysis/item_lookup.h"
#include "analysis/page_downloader.h"

#include <string>

namespace coffer::testing {

class OneByOnePrices : public ItemPriceSource {
  public:
    OneByOnePrices(std::string base, PageDownloader& downloader) : base_(std::move(base)), downloader_(downloader) {}

    ItemPrice priceOf(const std::string& itemName) override {
        return LookUpItemPrice(base_, itemName,
                               [this](const std::string& address) { return downloader_.download(address); }, {});
    }

  private:
    std::string base_;
    PageDownloader& downloader_;
};

} // namespace coffer::testing
