// SPDX-License-Identifier: MIT
#include "ledger/list_totals.h"

#include "ledger/entry_list.h"

namespace coffer {
namespace {

// 1234567 as "1,234,567".
std::string GroupedDigits(std::int64_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && digits[at - 1] != '-' && (digits.size() - at) % 3 == 0)
            grouped += ',';
        grouped += digits[at];
    }
    return grouped;
}

std::uint64_t Magnitude(std::int64_t sum) {
    return static_cast<std::uint64_t>(sum); // each sum counts amounts that are never negative
}

} // namespace

std::string ListTotalsText(const ListTotals& totals) {
    // Each sum is below 2^63, so the withdrawals and repairs together fit 64 bits, and so does the net.
    const std::uint64_t in = Magnitude(totals.goldDeposited),
                        out = Magnitude(totals.goldWithdrawn) + Magnitude(totals.repairs);
    const std::string net = in >= out ? CopperText(in - out) : "-" + CopperText(out - in);
    return "Items: " + GroupedDigits(totals.itemsDeposited) + " deposited, " + GroupedDigits(totals.itemsWithdrawn) +
           " withdrawn; gold: " + CopperText(Magnitude(totals.goldDeposited)) + " deposited, " +
           CopperText(Magnitude(totals.goldWithdrawn)) + " withdrawn, " + CopperText(Magnitude(totals.repairs)) +
           " repaired; net " + net;
}

} // namespace coffer
