// SPDX-License-Identifier: MIT
#pragma once
// Looking an item up on the item database site: what the program reads from the site's pages (the
// item's number from a search page, its price from the item page).

#include "analysis/lookup/item_pricing.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace coffer {

// The page at an address, or the empty text when none could be had.
using DownloadFunction = std::function<std::string(const std::string& address)>;
// Shows a status text and lets the window handle its pending events; may be empty.
using StatusFunction = std::function<void(const std::string& text)>;

// The item number of the first piece of the page (split exactly at `linkMarker`) that contains both
// ">" + name + "<" and "?item=", letter case ignored: the text from "?item=" to the next ">" (or
// the end of the piece) without "?", "item=", ">" and '"'. None when no piece qualifies or that
// piece's number comes out empty or longer than 20 characters.
std::optional<std::string> ItemNumberInLinks(std::string_view page, std::string_view itemName,
                                             std::string_view linkMarker);

// The item number of a search page: from the first "a href=" link to the item, else from the first
// "su_addToSaved('" call on the page (its text up to the first "')"). None when neither gives one.
std::optional<std::string> ItemNumberFromSearchPage(std::string_view page, std::string_view itemName);

// The price an item page shows for the item of that number: the value GGGGG.SS. The price is read
// after "Buyout price</span>" when the page has one, else after "Sells for <span", else anywhere; gold
// and silver are the texts after "moneygold" and "moneysilver" up to the next "<". "00000.00" when the
// page shows no price, or one that is not whole gold and at most two digits of silver. Gold of more
// than 12 digits makes the item not found ("00000.00", no number).
ItemPrice PriceFromItemPage(std::string_view page, std::string itemNumber);

// One item's price, looked up on the site: the search page, then the item page when the search page
// names the item. Shows "Connecting to " + address before each download.
ItemPrice LookUpItemPrice(std::string_view base, const std::string& itemName, const DownloadFunction& download,
                          const StatusFunction& status);

// The page that the item's row opens, given the item's search page: the item page when the search page
// links to it with "<a href=" (no other way of finding the item is tried), otherwise the search page.
std::string ItemPageAddressFromSearch(std::string_view base, std::string_view itemName, std::string_view searchPage);

} // namespace coffer
