#include "analysis/tables/transaction_totals.h"

#include "analysis/tables/cell_number.h"
#include "analysis/text/text_util.h"

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

// The column of the amount an entry of this type moves; -1 for types that count nowhere.
int ValueColumn(const std::string& type) {
    return type == entry_type::kItemDeposit      ? kDepositValue
           : type == entry_type::kItemWithdrawal ? kWithdrawlValue
           : type == entry_type::kGoldDeposit    ? kGoldDeposits
           : type == entry_type::kGoldWithdrawal ? kGoldWithdrawls
           : type == entry_type::kRepair         ? kRepairs
                                                 : -1;
}

std::uint16_t Bit(std::size_t column) {
    return static_cast<std::uint16_t>(1u << column);
}

void Add(MemberTotals::Row& row, std::size_t column, std::optional<std::int64_t> amount) {
    if (!amount)
        return;
    row.hundredths[column] += *amount; // 64-bit amounts: the sum stays within 128 bits
    row.written = static_cast<std::uint16_t>(row.written & ~Bit(column));
}

constexpr std::int64_t kOne = 100;

} // namespace

// What one entry adds to its member's cells, each amount in hundredths; none where a text is not a
// number or an amount does not fit 64 bits (counted in `leftOut`).
struct MemberTotals::Amounts {
    Amounts(const BankLogEntry& entry, int valueColumn, std::uint64_t& leftOut) : column(valueColumn) {
        value = ParseHundredths(entry.value);
        // A number that does not fit 64 bits is left out, and counted.
        leftOut += (!value && ParseNumberText(entry.value)) || MoneyBeyondReading(entry) ? 1 : 0;
        if (!item())
            return;
        const auto count = ParseHundredths(entry.count);
        const auto weight = ParseHundredths(entry.quality);
        if (count && weight)
            quality = ProductHundredths(*count, *weight);
        else if (!ParseNumberText(entry.count) || !ParseNumberText(entry.quality))
            return; // not a number: nothing to count
        leftOut += quality ? 0 : 1;
    }
    int column;
    std::optional<std::int64_t> value, quality;
    bool deposit() const { return column == kDepositValue || column == kGoldDeposits; }
    bool item() const { return column == kDepositValue || column == kWithdrawlValue; }
    std::size_t qualityColumn() const { return column == kDepositValue ? kDepositQuality : kWithdrawlQuality; }
};

namespace {

void UpdateRow(const MemberTotals::Amounts& amounts, MemberTotals::Row& row) {
    Add(row, amounts.deposit() ? kDeposits : kWithdrawls, kOne);
    if (amounts.column == kWithdrawlValue) {
        if (amounts.value)
            Add(row, kTotalValue, -*amounts.value);
    } else {
        Add(row, kTotalValue, amounts.value);
    }
    Add(row, static_cast<std::size_t>(amounts.column), amounts.value);
    if (amounts.item())
        Add(row, amounts.qualityColumn(), amounts.quality);
}

// The first row of a member: every cell of the entry's kind starts from the entry itself.
MemberTotals::Row NewRow(const BankLogEntry& entry, const MemberTotals::Amounts& amounts, TextIndex& firstValues) {
    MemberTotals::Row row;
    auto& hundredths = row.hundredths;
    hundredths[amounts.deposit() ? kDeposits : kWithdrawls] = kOne;
    // What is not a number contributes nothing: such a cell starts at 0.
    if (amounts.item())
        hundredths[amounts.qualityColumn()] = amounts.quality.value_or(0);
    if (!amounts.value)
        return row;
    const std::int64_t value = *amounts.value;
    const auto column = static_cast<std::size_t>(amounts.column);
    hundredths[column] = value;
    row.firstValue = firstValues.intern(entry.value);
    row.written = Bit(column);
    // An item withdrawal takes its value off the total; the exact negation keeps the silver.
    if (amounts.column == kWithdrawlValue) {
        hundredths[kTotalValue] = -value;
    } else {
        hundredths[kTotalValue] = value;
        row.written = static_cast<std::uint16_t>(row.written | Bit(kTotalValue));
    }
    return row;
}

std::string TextOf(const MemberTotals& totals, const MemberTotals::Row& row, std::size_t column) {
    return (row.written & Bit(column)) != 0 ? totals.firstValues()[row.firstValue]
                                            : FormatHundredths(row.hundredths[column]);
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

WideAmount WholeGold(WideAmount copper) {
    const WideAmount gold = copper / 10000, rest = copper % 10000;
    return gold + ((rest > 5000 || (rest == 5000 && gold % 2 != 0)) ? 1 : 0);
}

bool IsGoldEntry(const BankLogEntry& entry) {
    const std::string& t = entry.type;
    return t == entry_type::kGoldDeposit || t == entry_type::kGoldWithdrawal || t == entry_type::kRepair;
}

std::optional<std::int64_t> ReadableCopper(std::string_view money) {
    const auto copper = ParseWhole(money);
    if (!copper || money.find('.') != std::string_view::npos || *copper > kMaxCopper || *copper < -kMaxCopper)
        return std::nullopt;
    return copper;
}

bool MoneyBeyondReading(const BankLogEntry& entry) {
    return IsGoldEntry(entry) && !ReadableCopper(entry.money) && ParseNumberText(entry.money).has_value() &&
           entry.money.find('.') == std::string::npos;
}

std::string GoldValueOf(const BankLogEntry& entry) {
    if (!IsGoldEntry(entry))
        return kNoValue;
    const auto copper = ReadableCopper(entry.money);
    // Money that is missing or unreadable moves nothing.
    if (!copper)
        return kNoValue;
    const bool withdrawal = entry.type != entry_type::kGoldDeposit;
    std::string value;
    if (*copper < 10000) {
        value = "00000.50";
    } else {
        value = PadLeft(WideText(WholeGold(*copper)) + ".00", 8);
    }
    return withdrawal ? "-" + value : value;
}

void MemberTotals::add(const BankLogEntry& entry) {
    const int valueColumn = ValueColumn(entry.type);
    if (valueColumn < 0)
        return;
    const Amounts amounts(entry, valueColumn, leftOut_);
    if (const std::uint32_t row = names_.intern(entry.player); row < rows_.size()) {
        UpdateRow(amounts, rows_[row]);
    } else {
        cutNames_ += entry.player.size() > kMaxNameBytes ? 1 : 0; // cut when the table is made
        rows_.push_back(NewRow(entry, amounts, firstValues_));
    }
}

std::string_view MemberTotals::shown(std::string_view name) {
    cutNames_ += name.size() > kMaxNameBytes ? 1 : 0;
    return CutName(name);
}

std::string_view CutName(std::string_view name) {
    if (name.size() <= kMaxNameBytes)
        return name;
    std::size_t size = kMaxNameBytes;
    while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80) // the next byte continues a character
        --size;
    return name.substr(0, size);
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
        members.shown(name),         entry.quality, entry.count, entry.value, deposit ? "Deposit" : "Withdrawal",
        members.shown(entry.player), entry.itemId};
    items.appendRow(row);
}

void FinishMemberTable(MemberTotals&& totals, StatsTable& members) {
    const std::pair<int, int> differences[] = {
        {kDeposits, kWithdrawls}, {kDepositQuality, kWithdrawlQuality}, {kDepositValue, kWithdrawlValue}};
    // Each member leaves the totals as its row enters the table.
    std::deque<std::string> names = totals.takeNames();
    std::deque<MemberTotals::Row> rows = totals.takeRows();
    for (; !rows.empty(); rows.pop_front()) {
        const MemberTotals::Row& row = rows.front();
        std::vector<std::string> cells(kMemberColumnCount);
        cells[kCharacter] = std::move(names.front());
        names.pop_front();
        cells[kCharacter].resize(CutName(cells[kCharacter]).size());
        for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c)
            cells[c] = TextOf(totals, row, c);
        for (const auto& [plus, minus] : differences)
            cells[static_cast<std::size_t>(plus + 2)] = FormatHundredths(
                row.hundredths[static_cast<std::size_t>(plus)] - row.hundredths[static_cast<std::size_t>(minus)]);
        for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c)
            cells[c] = c <= kQualityDifference ? FormatCountCell(cells[c]) : FormatValueCell(cells[c]);
        members.appendRow(std::move(cells));
    }
}

std::string FormatCountCell(std::string_view text) {
    std::string digits;
    const bool minus = TakeMinus(text, digits);
    // Named first: a literal + a temporary string makes GCC 12 at -O3 warn (-Wrestrict) of overlapping
    // copies that cannot occur.
    const std::string padded = PadLeft(digits, 6);
    return (minus ? "-" : "+") + padded;
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
        if (fraction.size() == 1) // padded, not inserted into: GCC 12 at -O3 warns (-Wrestrict) on the insert
            fraction = PadLeft(fraction, 2);
        body = PadLeft(std::string_view(digits).substr(0, dot), 5) + "." + fraction;
    }
    return (minus ? "-" : "+") + body;
}

} // namespace coffer
