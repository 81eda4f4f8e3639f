// SPDX-License-Identifier: MIT
#include "ui/ledger/kept_rows.h"

#include "ledger/entry_identity.h"

#include <algorithm>
#include <numeric>

namespace coffer {

RowIdentity IdentityOf(const ListedRow& row, std::uint64_t copy) {
    return {.key = EntryKey(EntryIdentity(row.text), row.ts), .ts = row.ts, .copy = copy};
}

std::vector<std::optional<std::uint64_t>> FindKeptRows(LedgerStore& store, const EntryListFilter& filter,
                                                       std::uint64_t total, std::uint64_t added,
                                                       const std::vector<KeptRow>& kept) {
    std::vector<std::optional<std::uint64_t>> found(kept.size());
    std::vector<std::size_t> order(kept.size());
    std::iota(order.begin(), order.end(), 0);
    std::ranges::sort(order, {}, [&](std::size_t at) { return kept[at].row; });
    // A row's earlier copies stand just before it, and it at most `added` rows further on: the stretches
    // of rows near each other are read at once.
    const auto from = [&](std::size_t at) { return kept[at].row - std::min(kept[at].row, kept[at].identity.copy); };
    const auto to = [&](std::size_t at) { return std::min(total, kept[at].row + added + 1); };
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first + 1;
        std::uint64_t end = to(order[first]);
        for (; last < order.size() && from(order[last]) <= end; ++last)
            end = std::max(end, to(order[last]));
        const std::uint64_t start = from(order[first]);
        const std::vector<ListedRow> rows =
            start < end ? store.listRows(filter, start, end - start).rows : std::vector<ListedRow>{};
        // Which copy of its entry each row read is, counted from the stretch's start: a kept row's earlier
        // copies all lie within it.
        std::vector<std::uint64_t> copies(rows.size());
        for (std::size_t i = 1; i < rows.size(); ++i)
            copies[i] = rows[i] == rows[i - 1] ? copies[i - 1] + 1 : 0;
        for (; first < last; ++first) {
            const KeptRow& row = kept[order[first]];
            for (std::size_t i = row.row - start; i < rows.size() && !found[order[first]]; ++i)
                if (rows[i].ts == row.identity.ts && copies[i] == row.identity.copy &&
                    IdentityOf(rows[i], copies[i]).key == row.identity.key)
                    found[order[first]] = start + i;
        }
    }
    return found;
}

} // namespace coffer
