// SPDX-License-Identifier: MIT
#include "ledger/list_totals.h"

#include "ledger/entry_list.h"

namespace coffer {
namespace {

std::uint64_t Magnitude(std::int64_t sum) {
    return static_cast<std::uint64_t>(sum); // each sum counts amounts that are never negative
}

} // namespace

bool AddToTotals(ListTotals& totals, const std::optional<std::int64_t>& type, const std::optional<std::int64_t>& money,
                 const std::optional<std::int64_t>& itemCount, std::int64_t copies) {
    bool fits = true;
    for (const ListSum& summed : kListSums) {
        const std::optional<std::int64_t>& amount = summed.money ? money : itemCount;
        std::int64_t product = 0;
        if (type == summed.type && amount)
            fits = fits && !__builtin_mul_overflow(*amount, copies, &product) &&
                   !__builtin_add_overflow(totals.*summed.sum, product, &(totals.*summed.sum));
    }
    return fits;
}

std::vector<std::string> NameSumColumns(std::string_view role) {
    const std::string prefix = std::string(role) + "_";
    std::vector<std::string> columns = {prefix + "copies"};
    for (const ListSum& summed : kListSums)
        columns.push_back(prefix + summed.column);
    return columns;
}

std::array<std::int64_t, kCountedValues> CountedValues(const CountedTotals& counted) {
    std::array<std::int64_t, kCountedValues> values{static_cast<std::int64_t>(counted.copies)};
    for (std::size_t at = 0; at < std::size(kListSums); ++at)
        values[1 + at] = counted.sums.*kListSums[at].sum;
    return values;
}

bool AddTotals(ListTotals& totals, const ListTotals& more) {
    bool fits = true;
    for (const ListSum& summed : kListSums)
        fits = fits && !__builtin_add_overflow(totals.*summed.sum, more.*summed.sum, &(totals.*summed.sum));
    return fits;
}

std::string ListTotalsText(const ListTotals& totals) {
    // Each sum is below 2^63, so the withdrawals and repairs together fit 64 bits, and so does the net.
    const std::uint64_t in = Magnitude(totals.goldDeposited),
                        out = Magnitude(totals.goldWithdrawn) + Magnitude(totals.repairs);
    const std::string net = in >= out ? CopperText(in - out) : "-" + CopperText(out - in);
    return "Items: " + GroupedNumber(Magnitude(totals.itemsDeposited)) + " deposited, " +
           GroupedNumber(Magnitude(totals.itemsWithdrawn)) +
           " withdrawn; gold: " + CopperText(Magnitude(totals.goldDeposited)) + " deposited, " +
           CopperText(Magnitude(totals.goldWithdrawn)) + " withdrawn, " + CopperText(Magnitude(totals.repairs)) +
           " repaired; net " + net;
}

} // namespace coffer
