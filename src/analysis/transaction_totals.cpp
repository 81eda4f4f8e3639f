#include "analysis/transaction_totals.h"

#include "analysis/cell_number.h"
#include "analysis/text_util.h"

#include <optional>
#include <vector>

namespace coffer {
namespace {

std::string PadLeft(std::string_view text, std::size_t width) {
    std::string out;
    if (text.size() < width)
        out.assign(width - text.size(), '0');
    out.append(text);
    return out;
}

// Removes every "-" and tells whether there was one.
bool TakeMinus(std::string_view text, std::string& rest) {
    rest.clear();
    bool minus = false;
    for (char c : text) {
        if (c == '-')
            minus = true;
        else
            rest.push_back(c);
    }
    return minus;
}

using CellOperation = std::optional<std::string> (*)(std::string_view, std::string_view);

// One update of a member cell; an operand that is not a number leaves the cell as it is.
void Update(StatsTable& members, StatsTable::RowId row, int column, CellOperation op, std::string_view operand) {
    if (auto result = op(members.cellOf(row, static_cast<std::size_t>(column)), operand))
        members.setCellOf(row, static_cast<std::size_t>(column), std::move(*result));
}

void UpdateRow(const BankLogEntry& entry, StatsTable& members, StatsTable::RowId row) {
    const std::string& t = entry.type;
    if (t == entry_type::kItemDeposit || t == entry_type::kItemWithdrawal) {
        const bool deposit = t == entry_type::kItemDeposit;
        Update(members, row, deposit ? kDeposits : kWithdrawls, CellSum, "1");
        if (auto quality = CellProduct(entry.count, entry.quality))
            Update(members, row, deposit ? kDepositQuality : kWithdrawlQuality, CellSum, *quality);
        Update(members, row, kTotalValue, deposit ? CellSum : CellDifference, entry.value);
        Update(members, row, deposit ? kDepositValue : kWithdrawlValue, CellSum, entry.value);
        return;
    }
    const int goldColumn = t == entry_type::kGoldDeposit      ? kGoldDeposits
                           : t == entry_type::kGoldWithdrawal ? kGoldWithdrawls
                           : t == entry_type::kRepair         ? kRepairs
                                                              : -1;
    if (goldColumn < 0)
        return;
    Update(members, row, goldColumn == kGoldDeposits ? kDeposits : kWithdrawls, CellSum, "1");
    Update(members, row, kTotalValue, CellSum, entry.value);
    Update(members, row, goldColumn, CellSum, entry.value);
}

// The first row of a member: every cell of the entry's kind starts from the entry itself.
std::optional<std::vector<std::string>> NewRow(const BankLogEntry& entry) {
    const std::string& t = entry.type;
    int valueColumn = -1;
    if (t == entry_type::kItemDeposit)
        valueColumn = kDepositValue;
    else if (t == entry_type::kItemWithdrawal)
        valueColumn = kWithdrawlValue;
    else if (t == entry_type::kGoldDeposit)
        valueColumn = kGoldDeposits;
    else if (t == entry_type::kGoldWithdrawal)
        valueColumn = kGoldWithdrawls;
    else if (t == entry_type::kRepair)
        valueColumn = kRepairs;
    else
        return std::nullopt;

    std::vector<std::string> cells(kMemberColumnCount, "0");
    cells[kCharacter] = entry.player;
    cells[kCountDifference] = cells[kQualityDifference] = cells[kValueDifference] = "";
    const bool deposit = t == entry_type::kItemDeposit || t == entry_type::kGoldDeposit;
    cells[kDeposits] = deposit ? "1" : "0";
    cells[kWithdrawls] = deposit ? "0" : "1";
    // What is not a number contributes nothing: an empty cell would block every later update of it.
    if (valueColumn == kDepositValue || valueColumn == kWithdrawlValue)
        cells[valueColumn == kDepositValue ? kDepositQuality : kWithdrawlQuality] =
            CellProduct(entry.count, entry.quality).value_or("0");
    const bool valueIsNumber = ParseHundredths(entry.value).has_value();
    cells[static_cast<std::size_t>(valueColumn)] = valueIsNumber ? entry.value : "0";
    // An item withdrawal takes its value off the total; the exact negation keeps the silver.
    cells[kTotalValue] = !valueIsNumber                  ? "0"
                         : valueColumn == kWithdrawlValue ? *CellDifference("0", entry.value)
                                                          : entry.value;
    return cells;
}

} // namespace

StatsTable MakeMemberTable() {
    return StatsTable({"Character", "Deposits", "Withdrawls", "Difference", "Deposit Quality", "Withdrawl Quality",
                       "Difference", "Deposit Value", "Withdrawl Value", "Difference", "Gold Deposits",
                       "Gold Withdrawls", "Repairs", "Total Value"});
}

StatsTable MakeItemTable() {
    return StatsTable({"Item", "Quality", "Quantity", "Value", "Type", "Name", "Lorehold Item"});
}

std::string ListedItemName(const BankLogEntry& entry) { return ReplaceChar(entry.itemName, '+', ' '); }

std::string GoldValueOf(const BankLogEntry& entry) {
    const std::string& t = entry.type;
    const bool withdrawal = t == entry_type::kGoldWithdrawal || t == entry_type::kRepair;
    if (!withdrawal && t != entry_type::kGoldDeposit)
        return kNoValue;
    const auto copper = ParseWhole(entry.money);
    // Money that is missing or unreadable moves nothing.
    if (!copper || entry.money.find('.') != std::string::npos)
        return kNoValue;
    std::string value;
    if (*copper < 10000) {
        value = "00000.50";
    } else {
        // Whole gold, halves to the even neighbour: 25000 copper give 2, 35000 give 4.
        std::int64_t gold = *copper / 10000;
        const std::int64_t rest = *copper % 10000;
        if (rest > 5000 || (rest == 5000 && gold % 2 != 0))
            ++gold;
        value = PadLeft(std::to_string(gold) + ".00", 8);
    }
    return withdrawal ? "-" + value : value;
}

void AddEntry(const BankLogEntry& entry, StatsTable& members, StatsTable& items) {
    if (const auto row = members.findFirst(entry.player)) {
        UpdateRow(entry, members, *row);
    } else if (auto cells = NewRow(entry)) {
        members.appendRow(std::move(*cells));
    }
    const bool deposit = entry.type == entry_type::kItemDeposit;
    if (!deposit && entry.type != entry_type::kItemWithdrawal)
        return;
    // Built cell by cell: a braced list would copy every cell twice, and item rows are most rows.
    std::vector<std::string> row;
    row.reserve(kItemColumnCount);
    row.push_back(ListedItemName(entry));
    row.push_back(entry.quality);
    row.push_back(entry.count);
    row.push_back(entry.value);
    row.emplace_back(deposit ? "Deposit" : "Withdrawal");
    row.push_back(entry.player);
    row.push_back(entry.itemId);
    items.appendRow(std::move(row));
}

void FinishMemberTable(StatsTable& members) {
    const std::pair<int, int> differences[] = {
        {kDeposits, kWithdrawls}, {kDepositQuality, kWithdrawlQuality}, {kDepositValue, kWithdrawlValue}};
    for (std::size_t r = 0; r < members.rowCount(); ++r) {
        const StatsTable::RowId row = members.rowIdAt(r);
        for (const auto& [plus, minus] : differences) {
            auto difference = CellDifference(members.cellOf(row, static_cast<std::size_t>(plus)),
                                             members.cellOf(row, static_cast<std::size_t>(minus)));
            if (difference)
                members.setCellOf(row, static_cast<std::size_t>(plus + 2), std::move(*difference));
        }
    }
    for (std::size_t r = 0; r < members.rowCount(); ++r) {
        const StatsTable::RowId row = members.rowIdAt(r);
        for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c) {
            const std::string& text = members.cellOf(row, c);
            members.setCellOf(row, c, c <= kQualityDifference ? FormatCountCell(text) : FormatValueCell(text));
        }
    }
}

std::string FormatCountCell(std::string_view text) {
    std::string digits;
    const bool minus = TakeMinus(text, digits);
    return (minus ? "-" : "+") + PadLeft(digits, 6);
}

std::string FormatValueCell(std::string_view text) {
    std::string digits;
    const bool minus = TakeMinus(text, digits);
    std::string body;
    const std::size_t dot = digits.find('.');
    if (dot == std::string::npos) {
        body = PadLeft(digits, 5) + ".00";
    } else {
        const std::size_t secondDot = digits.find('.', dot + 1);
        std::string fraction = digits.substr(dot + 1, secondDot == std::string::npos ? std::string::npos
                                                                                     : secondDot - dot - 1);
        if (fraction.size() == 1)
            fraction.insert(0, "0");
        body = PadLeft(std::string_view(digits).substr(0, dot), 5) + "." + fraction;
    }
    return (minus ? "-" : "+") + body;
}

} // namespace coffer
