// SPDX-License-Identifier: MIT
#include "analysis/lookup/item_lookup.h"

#include "analysis/lookup/site_addresses.h"
#include "analysis/tables/transaction_totals.h"
#include "analysis/text/text_util.h"

#include <algorithm>
#include <vector>

namespace coffer {
namespace {

constexpr std::string_view kItemQuery = "?item=";
constexpr std::string_view kSavedCall = "su_addToSaved('";
constexpr std::string_view kBuyoutPrice = "Buyout price</span>";
constexpr std::string_view kSellsFor = "Sells for <span";

// The text after the first occurrence of the marker up to its next occurrence or the end; none when
// the text does not contain the marker. Letter case is ignored throughout, so that the test for the
// marker and the cut at it always agree.
std::optional<std::string_view> TextAfter(std::string_view text, std::string_view marker) {
    const std::size_t at = FindNoCase(text, marker);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = text.substr(at + marker.size());
    return rest.substr(0, FindNoCase(rest, marker));
}

// The text from the marker at `at` through the first `end` character after it, or to the end.
std::string_view MarkedText(std::string_view text, std::size_t at, char end) {
    const std::size_t close = text.find(end, at);
    return text.substr(at, close == std::string_view::npos ? std::string_view::npos : close - at + 1);
}

// A page may write anything where a number belongs: an item number longer than this is not one.
constexpr std::size_t kMaxItemNumberLength = 20;
// Gold beyond a trillion is no real price; longer gold makes the item not found.
constexpr std::size_t kMaxGoldDigits = 12;

std::optional<std::string> ItemNumber(std::string text) {
    if (text.empty() || text.size() > kMaxItemNumberLength)
        return std::nullopt;
    return text;
}

// What follows "moneygold" or "moneysilver" in the region, up to the next "<".
std::string MoneyText(std::string_view region, std::string_view marker) {
    const std::size_t at = FindNoCase(region, marker);
    if (at == std::string_view::npos)
        return {};
    const std::string text = RemoveAllNoCase(RemoveChars(MarkedText(region, at, '<'), "?"), marker);
    return std::string(TrimChars(RemoveChars(text, "><\""), " \t\r\n"));
}

void Show(const StatusFunction& status, const std::string& address) {
    if (status)
        status("Connecting to " + address);
}

} // namespace

std::optional<std::string> ItemNumberInLinks(std::string_view page, std::string_view itemName,
                                             std::string_view linkMarker) {
    // Appended to rather than a literal + a temporary string, where GCC 12 at -O3 warns (-Wrestrict) of
    // overlapping copies that cannot occur.
    const std::string label = std::string(">").append(itemName).append("<");
    std::vector<std::string_view> pieces;
    SplitAt(page, linkMarker, pieces);
    for (const std::string_view piece : pieces) {
        const std::size_t query = FindNoCase(piece, kItemQuery);
        if (query == std::string_view::npos || !ContainsNoCase(piece, label))
            continue;
        const std::string number = RemoveAllNoCase(RemoveChars(MarkedText(piece, query, '>'), "?"), "item=");
        return ItemNumber(RemoveChars(number, ">\""));
    }
    return std::nullopt;
}

std::optional<std::string> ItemNumberFromSearchPage(std::string_view page, std::string_view itemName) {
    if (auto number = ItemNumberInLinks(page, itemName, "a href="))
        return number;
    std::optional<std::string_view> call = TextAfter(page, kSavedCall);
    if (!call)
        return std::nullopt;
    // The number ends at the quote that closes the call's first argument: su_addToSaved('1234').
    if (const std::size_t close = call->find("')"); close != std::string_view::npos)
        call = call->substr(0, close + 1);
    return ItemNumber(RemoveChars(*call, "')"));
}

ItemPrice PriceFromItemPage(std::string_view page, std::string itemNumber) {
    const std::string_view region = TextAfter(page, kBuyoutPrice).value_or(TextAfter(page, kSellsFor).value_or(page));
    std::string gold = MoneyText(region, "moneygold");
    std::string silver = MoneyText(region, "moneysilver");
    if (!AllDigits(gold) || !AllDigits(silver) || silver.size() > 2)
        return {.value = kNoValue, .itemId = std::move(itemNumber)};
    if (gold.size() > kMaxGoldDigits)
        return {};
    if (gold.size() < 5)
        gold.insert(0, 5 - gold.size(), '0');
    if (silver.size() < 2)
        silver.insert(0, 2 - silver.size(), '0');
    return {.value = gold + "." + silver, .itemId = std::move(itemNumber)};
}

ItemPrice LookUpItemPrice(std::string_view base, const std::string& itemName, const DownloadFunction& download,
                          const StatusFunction& status) {
    const std::string searchAddress = ItemSearchAddress(base, itemName);
    Show(status, searchAddress);
    const std::optional<std::string> number = ItemNumberFromSearchPage(download(searchAddress), itemName);
    if (!number)
        return {};
    const std::string itemAddress = ItemPageAddress(base, *number);
    Show(status, itemAddress);
    return PriceFromItemPage(download(itemAddress), *number);
}

std::string ItemPageAddressFromSearch(std::string_view base, std::string_view itemName, std::string_view searchPage) {
    const std::optional<std::string> number = ItemNumberInLinks(searchPage, itemName, "<a href=");
    return number ? ItemPageAddress(base, *number) : ItemSearchAddress(base, itemName);
}

} // namespace coffer
