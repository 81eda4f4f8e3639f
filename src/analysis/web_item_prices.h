#pragma once
// Item prices from the item database site for an analysis run. Every web result of the run, found
// or not, is remembered, so no name is looked up twice; the run's names can be looked up ahead with
// several downloads in flight, and the answers are those the one-by-one lookup gives.

#include "analysis/item_lookup.h"
#include "analysis/item_pricing.h"
#include "analysis/page_downloader.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace coffer {

// Qt Network's own limit of connections per host, and polite to the site.
inline constexpr int kMaxDownloadsInFlight = 6;

class WebItemPriceSource : public ItemPriceSource {
  public:
    // `base` is the site's address; `status` shows "Connecting to " + address before each download.
    WebItemPriceSource(std::string base, PageDownloader& downloader, StatusFunction status,
                       int maxInFlight = kMaxDownloadsInFlight);

    // The remembered result, else the one-by-one lookup (which is then remembered).
    ItemPrice priceOf(const std::string& itemName) override;
    // Forgets the results of earlier runs and looks up every name with up to maxInFlight downloads at once.
    void prefetch(const std::vector<std::string>& itemNames) override;

  private:
    std::string base_;
    PageDownloader& downloader_;
    StatusFunction status_;
    int maxInFlight_;
    std::unordered_map<std::string, ItemPrice> known_;
};

} // namespace coffer
