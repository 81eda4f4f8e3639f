// SPDX-License-Identifier: MIT
// The item lookup's page scraping on any pages: a site held in memory answers every address with one
// of the input's pages, and the all-at-once lookup must give exactly the one-by-one answer.
#include "analysis/lookup/item_lookup.h"
#include "analysis/lookup/page_downloader.h"
#include "analysis/lookup/site_addresses.h"
#include "analysis/lookup/web_item_prices.h"
#include "analysis/text/text_util.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace coffer;

constexpr std::string_view kBase = "http://lorehold.test";

// Every address gets the same page whoever asks; finished downloads are handed back one
// `waitForAny` at a time, the oldest first or the newest first as the input chooses.
class MemorySite : public PageDownloader {
  public:
    MemorySite(const std::vector<std::string_view>& pages, bool newestFirst)
        : pages_(pages), newestFirst_(newestFirst) {}

    std::string pageAt(const std::string& address) const {
        return std::string(pages_[std::hash<std::string>{}(address) % pages_.size()]);
    }
    void start(const std::string& address, PageHandler done) override {
        pending_.emplace_back(pageAt(address), std::move(done));
    }
    void waitForAny() override {
        if (pending_.empty())
            return;
        auto next = newestFirst_ ? std::move(pending_.back()) : std::move(pending_.front());
        newestFirst_ ? pending_.pop_back() : pending_.pop_front();
        next.second({.page = std::move(next.first), .timedOut = false, .failure = {}});
    }
    int inFlight() const override { return static_cast<int>(pending_.size()); }
    void abortAll() override {
        for (auto& [page, done] : std::exchange(pending_, {}))
            done({});
    }

  private:
    std::vector<std::string_view> pages_;
    bool newestFirst_;
    std::deque<std::pair<std::string, PageHandler>> pending_;
};

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool IsValue(const std::string& value) {
    if (value.size() < 8 || value[value.size() - 3] != '.')
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (i != value.size() - 3 && (value[i] < '0' || value[i] > '9'))
            return false;
    return true;
}

} // namespace

// The input: item names on the first line, separated by "|", then the site's pages separated by a
// line "----".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t firstBreak = text.find('\n');
    if (firstBreak == std::string_view::npos || size < 2)
        return 0;
    std::vector<std::string_view> nameViews, pages;
    SplitAt(text.substr(0, firstBreak), "|", nameViews);
    SplitAt(text.substr(firstBreak + 1), "\n----\n", pages);
    const std::vector<std::string> names(nameViews.begin(), nameViews.end());

    MemorySite site(pages, (data[0] & 1) != 0);
    WebItemPriceSource prices(std::string(kBase), site, {}, 1 + data[0] % 6);
    prices.prefetch(names, {});
    for (const std::string& name : names) {
        const ItemPrice oneByOne =
            LookUpItemPrice(kBase, name, [&](const std::string& address) { return site.pageAt(address); }, {});
        const ItemPrice atOnce = prices.priceOf(name);
        Require(atOnce.value == oneByOne.value && atOnce.itemId == oneByOne.itemId);
        Require(IsValue(oneByOne.value));
        const std::string itemPage =
            ItemPageAddressFromSearch(kBase, name, site.pageAt(ItemSearchAddress(kBase, name)));
        Require(itemPage.starts_with(kBase));
    }
    Require(site.inFlight() == 0);
    return 0;
}
