// SPDX-License-Identifier: MIT
#pragma once
// The pluggable item value step of an analysis run. The run asks the item table first (the value
// cache: the first row for the item name) and a price source only for names it has no row for.

#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/stats_table.h"

#include <stop_token>
#include <string>
#include <vector>

namespace coffer {

struct ItemPrice {
    std::string value = "00000.00"; // GGGGG.SS
    std::string itemId;             // empty when the item was not found
};

class ItemPriceSource {
  public:
    virtual ~ItemPriceSource() = default;
    // The price of an item by its name (words separated by spaces).
    virtual ItemPrice priceOf(const std::string& itemName) = 0;
    // Called at the start of every run, before the first priceOf, with each distinct item name of the
    // log once, in the order the names first appear. A source may look them all up here at once; one
    // that remembers results forgets those of earlier runs. A stop ends it at once.
    virtual void prefetch(const std::vector<std::string>& itemNames, std::stop_token stop) {
        (void)itemNames;
        (void)stop;
    }
};

// Gives an entry that names an item its value and item number: from the item table when it has a
// row for the name, otherwise from the source. Turns the "+" of the entry's item name into spaces.
void PriceEntry(BankLogEntry& entry, const StatsTable& items, ItemPriceSource& source);

} // namespace coffer
