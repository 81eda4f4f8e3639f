// SPDX-License-Identifier: MIT
#include "ledger/list_totals.h"

#include "ledger/entry_list.h"

namespace coffer {
namespace {

std::uint64_t Magnitude(std::int64_t sum) {
    return static_cast<std::uint64_t>(sum); // each sum counts amounts that are never negative
}

} // namespace

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
