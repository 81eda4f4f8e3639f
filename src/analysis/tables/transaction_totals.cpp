// SPDX-License-Identifier: MIT
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

// Where each column's sum stands in a row; none for the columns that follow from the others.
constexpr auto kPlaceOf = [] {
    std::array<int, kMemberColumnCount> places{};
    places.fill(-1);
    for (std::size_t place = 0; place < MemberTotals::kSummed.size(); ++place)
        places[MemberTotals::kSummed[place]] = static_cast<int>(place);
    return places;
}();

std::size_t PlaceOf(std::size_t column) {
    return static_cast<std::size_t>(kPlaceOf[column]);
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

void MemberTotals::add(Row& row, std::uint32_t number, std::size_t place, std::int64_t amount) {
    std::int64_t sum = 0;
    if (!row.wide && !__builtin_add_overflow(row.sums[place], amount, &sum)) {
        row.sums[place] = sum;
        return;
    }
    if (!row.wide) {
        wide_[number] = sumsOf(row, number);
        row.wide = true;
    }
    wide_[number][place] += amount;
}

void MemberTotals::update(const Amounts& amounts, Row& row, std::uint32_t number) {
    add(row, number, PlaceOf(amounts.deposit() ? kDeposits : kWithdrawals), kOne);
    if (amounts.value) {
        add(row, number, PlaceOf(static_cast<std::size_t>(amounts.column)), *amounts.value);
        row.written = static_cast<std::uint16_t>(row.written &
                                                 ~(Bit(static_cast<std::size_t>(amounts.column)) | Bit(kTotalValue)));
    }
    if (amounts.item() && amounts.quality)
        add(row, number, PlaceOf(amounts.qualityColumn()), *amounts.quality);
}

MemberTotals::WideSums MemberTotals::sumsOf(const Row& row, std::uint32_t number) const {
    if (row.wide)
        return wide_.at(number);
    WideSums sums;
    std::copy(row.sums.begin(), row.sums.end(), sums.begin());
    return sums;
}

namespace {

// The first row of a member: every cell of the entry's kind starts from the entry itself.
MemberTotals::Row NewRow(const BankLogEntry& entry, const MemberTotals::Amounts& amounts, TextIndex& firstValues) {
    MemberTotals::Row row;
    auto& sums = row.sums;
    sums[PlaceOf(amounts.deposit() ? kDeposits : kWithdrawals)] = kOne;
    // What is not a number contributes nothing: such a cell starts at 0.
    if (amounts.item())
        sums[PlaceOf(amounts.qualityColumn())] = amounts.quality.value_or(0);
    if (!amounts.value)
        return row;
    const auto column = static_cast<std::size_t>(amounts.column);
    sums[PlaceOf(column)] = *amounts.value;
    // A value written as the table writes its amount needs no text of its own: most values are.
    if (FormatValueCell(entry.value) == FormatValueCell(FormatHundredths(*amounts.value)))
        return row;
    row.firstValue = firstValues.intern(entry.value);
    // An item withdrawal takes its value off the total, which then is no longer the value as written.
    row.written = static_cast<std::uint16_t>(Bit(column) | (column == kWithdrawlValue ? 0 : Bit(kTotalValue)));
    return row;
}

// The row's cells as amounts: the summed ones, and those that follow from them.
std::array<WideAmount, kMemberColumnCount> CellAmounts(const MemberTotals::WideSums& sums) {
    std::array<WideAmount, kMemberColumnCount> cells{};
    for (std::size_t place = 0; place < sums.size(); ++place)
        cells[MemberTotals::kSummed[place]] = sums[place];
    for (const auto& [difference, plus, minus] : {std::array{kCountDifference, kDeposits, kWithdrawals},
                                                  {kQualityDifference, kDepositQuality, kWithdrawlQuality},
                                                  {kValueDifference, kDepositValue, kWithdrawlValue}})
        cells[difference] = cells[plus] - cells[minus];
    // Withdrawals of gold and repairs are negative already; withdrawals of items are not.
    cells[kTotalValue] = cells[kValueDifference] + cells[kGoldDeposits] + cells[kGoldWithdrawls] + cells[kRepairs];
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
    if (const std::uint32_t number = names_.intern(entry.player); number < rowCount_) {
        update(amounts, rows_[number / kBlockRows][number % kBlockRows], number);
    } else {
        cutNames_ += entry.player.size() > kMaxNameBytes ? 1 : 0; // cut when the table is made
        if (rows_.empty() || rows_.back().size() == kBlockRows) {
            rows_.emplace_back();
            if (rows_.size() > 1) // the first block grows with the rows: a small log maps no large block
                rows_.back().reserve(kBlockRows);
        }
        rows_.back().push_back(NewRow(entry, amounts, firstValues_));
        ++rowCount_;
    }
}

TextIndex MemberTotals::takeNames() {
    names_.cut([](std::string_view name) { return CutName(name).size(); });
    return std::exchange(names_, {});
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
    // The names move to the table whole; each block of rows goes back once the table holds its rows.
    members.takeFirstColumn(totals.takeNames());
    const std::span<const std::string_view> names = members.distinctTexts(kCharacter);
    std::vector<MemberTotals::RowBlock> blocks = std::exchange(totals.rows_, {});
    members.reserveRows(totals.rowCount_);
    const TextIndex firstValueTexts = std::move(totals.firstValues_); // gone with the rows, when the table is made
    const std::span<const std::string_view> firstValues = firstValueTexts.texts();
    std::uint32_t number = 0;
    for (MemberTotals::RowBlock& block : blocks) {
        for (const MemberTotals::Row& row : block) {
            const auto amounts = CellAmounts(totals.sumsOf(row, number));
            std::array<std::string, kMemberColumnCount> texts;
            std::array<std::string_view, kMemberColumnCount> cells;
            cells[kCharacter] = names[number];
            for (std::size_t c = kDeposits; c < kMemberColumnCount; ++c) {
                const std::string text = (row.written & Bit(c)) != 0 ? std::string(firstValues[row.firstValue])
                                                                     : FormatHundredths(amounts[c]);
                texts[c] = c <= kQualityDifference ? FormatCountCell(text) : FormatValueCell(text);
                cells[c] = texts[c];
            }
            members.appendRow(cells);
            ++number;
        }
        MemberTotals::RowBlock().swap(block);
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
