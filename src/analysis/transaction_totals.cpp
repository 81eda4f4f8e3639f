#include "analysis/transaction_totals.h"

#include "analysis/cell_number.h"
#include "analysis/text_util.h"

#include <algorithm>
#include <array>
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

using Cell = MemberTotals::Cell;

// The column of the amount an entry of this type moves; -1 for types that count nowhere.
int ValueColumn(const std::string& type) {
    return type == entry_type::kItemDeposit      ? kDepositValue
           : type == entry_type::kItemWithdrawal ? kWithdrawlValue
           : type == entry_type::kGoldDeposit    ? kGoldDeposits
           : type == entry_type::kGoldWithdrawal ? kGoldWithdrawls
           : type == entry_type::kRepair         ? kRepairs
                                                 : -1;
}

// One update of a cell: a missing result (an operand not a number, a sum out of range) leaves it.
void Update(Cell& cell, std::optional<std::int64_t> result) {
    if (!result)
        return;
    cell.hundredths = *result;
    cell.written.clear();
}

void Add(Cell& cell, std::optional<std::int64_t> amount) {
    if (amount)
        Update(cell, SumHundredths(cell.hundredths, *amount));
}

std::optional<std::int64_t> QualityOf(const BankLogEntry& entry) {
    const auto count = ParseHundredths(entry.count);
    const auto quality = ParseHundredths(entry.quality);
    if (!count || !quality)
        return std::nullopt;
    return ProductHundredths(*count, *quality);
}

constexpr std::int64_t kOne = 100;

void UpdateRow(const BankLogEntry& entry, int valueColumn, MemberTotals::Row& row) {
    auto& cells = row.cells;
    const auto value = ParseHundredths(entry.value);
    const bool deposit = valueColumn == kDepositValue || valueColumn == kGoldDeposits;
    Add(cells[deposit ? kDeposits : kWithdrawls], kOne);
    if (valueColumn == kWithdrawlValue)
        Update(cells[kTotalValue], value ? DifferenceHundredths(cells[kTotalValue].hundredths, *value) : std::nullopt);
    else
        Add(cells[kTotalValue], value);
    Add(cells[static_cast<std::size_t>(valueColumn)], value);
    if (valueColumn == kDepositValue || valueColumn == kWithdrawlValue)
        Add(cells[valueColumn == kDepositValue ? kDepositQuality : kWithdrawlQuality], QualityOf(entry));
}

// The first row of a member: every cell of the entry's kind starts from the entry itself.
MemberTotals::Row NewRow(const BankLogEntry& entry, int valueColumn) {
    MemberTotals::Row row;
    row.name = entry.player;
    auto& cells = row.cells;
    const bool deposit = valueColumn == kDepositValue || valueColumn == kGoldDeposits;
    cells[deposit ? kDeposits : kWithdrawls].hundredths = kOne;
    // What is not a number contributes nothing: such a cell starts at 0.
    if (valueColumn == kDepositValue || valueColumn == kWithdrawlValue)
        cells[valueColumn == kDepositValue ? kDepositQuality : kWithdrawlQuality].hundredths =
            QualityOf(entry).value_or(0);
    const auto value = ParseHundredths(entry.value);
    if (!value)
        return row;
    cells[static_cast<std::size_t>(valueColumn)] = {*value, entry.value};
    // An item withdrawal takes its value off the total; the exact negation keeps the silver.
    cells[kTotalValue] = valueColumn == kWithdrawlValue ? Cell{-*value, {}} : Cell{*value, entry.value};
    return row;
}

std::string TextOf(const Cell& cell) {
    return cell.written.empty() ? FormatHundredths(cell.hundredths) : cell.written;
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

std::string ListedItemName(const BankLogEntry& entry) {
    std::string name;
    ListedItemName(entry, name);
    return name;
}

void ListedItemName(const BankLogEntry& entry, std::string& name) {
    name.assign(entry.itemName);
    std::replace(name.begin(), name.end(), '+', ' ');
}

std::uint64_t WholeGold(std::uint64_t copper) {
    const std::uint64_t gold = copper / 10000, rest = copper % 10000;
    return gold + ((rest > 5000 || (rest == 5000 && gold % 2 != 0)) ? 1 : 0);
}

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
        value = PadLeft(std::to_string(WholeGold(static_cast<std::uint64_t>(*copper))) + ".00", 8);
    }
    return withdrawal ? "-" + value : value;
}

void MemberTotals::add(const BankLogEntry& entry) {
    const int valueColumn = ValueColumn(entry.type);
    if (valueColumn < 0)
        return;
    if (const std::uint32_t row = names_.intern(entry.player); row < rows_.size())
        UpdateRow(entry, valueColumn, rows_[row]);
    else
        rows_.push_back(NewRow(entry, valueColumn));
}

void AddEntry(const BankLogEntry& entry, MemberTotals& members, StatsTable& items) {
    members.add(entry);
    const bool deposit = entry.type == entry_type::kItemDeposit;
    if (!deposit && entry.type != entry_type::kItemWithdrawal)
        return;
    // Kept from row to row: most names are too long to live inside the string, and a new string for
    // each row would allocate each time.
    thread_local std::string name;
    ListedItemName(entry, name);
    const std::array<std::string_view, kItemColumnCount> row = {
        name, entry.quality, entry.count, entry.value, deposit ? "Deposit" : "Withdrawal", entry.player, entry.itemId};
    items.appendRow(row);
}

void FinishMemberTable(const MemberTotals& totals, StatsTable& members) {
    const std::pair<int, int> differences[] = {
        {kDeposits, kWithdrawls}, {kDepositQuality, kWithdrawlQuality}, {kDepositValue, kWithdrawlValue}};
    for (const MemberTotals::Row& row : totals.rows()) {
        std::vector<std::string> cells(kMemberColumnCount);
        cells[kCharacter] = row.name;
        for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c)
            cells[c] = TextOf(row.cells[c]);
        // A difference out of range leaves its cell empty.
        for (const auto& [plus, minus] : differences) {
            const auto difference = DifferenceHundredths(row.cells[static_cast<std::size_t>(plus)].hundredths,
                                                         row.cells[static_cast<std::size_t>(minus)].hundredths);
            cells[static_cast<std::size_t>(plus + 2)] = difference ? FormatHundredths(*difference) : "";
        }
        for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c)
            cells[c] = c <= kQualityDifference ? FormatCountCell(cells[c]) : FormatValueCell(cells[c]);
        members.appendRow(std::move(cells));
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
        std::string fraction =
            digits.substr(dot + 1, secondDot == std::string::npos ? std::string::npos : secondDot - dot - 1);
        if (fraction.size() == 1)
            fraction.insert(0, "0");
        body = PadLeft(std::string_view(digits).substr(0, dot), 5) + "." + fraction;
    }
    return (minus ? "-" : "+") + body;
}

} // namespace coffer
