// SPDX-License-Identifier: MIT
#include "analysis/lookup/item_pricing.h"

#include "analysis/tables/transaction_totals.h"

namespace coffer {

void PriceEntry(BankLogEntry& entry, const StatsTable& items, ItemPriceSource& source) {
    entry.itemName = ListedItemName(entry);
    if (const auto row = items.findFirst(entry.itemName)) {
        entry.value = items.cellOf(*row, kItemValue);
        entry.itemId = items.cellOf(*row, kItemNumber);
        return;
    }
    ItemPrice price = source.priceOf(entry.itemName);
    entry.value = std::move(price.value);
    entry.itemId = std::move(price.itemId);
}

} // namespace coffer
