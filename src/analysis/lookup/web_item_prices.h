// SPDX-License-Identifier: MIT
#pragma once
// Item prices from the item database site for an analysis run. Every web result of the run, found
// or not, is remembered, so no name is looked up twice; the run's names can be looked up ahead with
// several downloads in flight, and the answers are those the one-by-one lookup gives. A site whose
// downloads keep running out of time is given up on for the rest of the run.

#include "analysis/lookup/item_lookup.h"
#include "analysis/lookup/item_pricing.h"
#include "analysis/lookup/page_downloader.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace coffer {

// Qt Network's own limit of connections per host, and polite to the site.
inline constexpr int kMaxDownloadsInFlight = 6;
// After this many downloads in a row have run out of time, the site is taken as not answering.
inline constexpr int kTimeoutsBeforeGivingUp = 6;
inline constexpr const char* kNotAnsweringMessage = "Item database not answering: item values left at 00000.00";

class WebItemPriceSource : public ItemPriceSource {
  public:
    // `base` is the site's address; `status` shows "Connecting to " + address before each download.
    WebItemPriceSource(std::string base, PageDownloader& downloader, StatusFunction status,
                       int maxInFlight = kMaxDownloadsInFlight);

    // The remembered result, else the one-by-one lookup (which is then remembered).
    ItemPrice priceOf(const std::string& itemName) override;
    // Forgets the results of earlier runs and looks up every name with up to maxInFlight downloads at
    // once. A stop aborts the downloads in flight and starts no more.
    void prefetch(const std::vector<std::string>& itemNames, std::stop_token stop) override;

  private:
    bool answering() const { return timeoutsInARow_ < kTimeoutsBeforeGivingUp; }
    // Counts the time-outs in a row, and says once that the site is given up on.
    void note(const PageResult& result);

    std::string base_;
    PageDownloader& downloader_;
    StatusFunction status_;
    int maxInFlight_;
    std::unordered_map<std::string, ItemPrice> known_;
    int timeoutsInARow_ = 0;
};

} // namespace coffer
