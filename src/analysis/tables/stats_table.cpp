// SPDX-License-Identifier: MIT
#include "analysis/tables/stats_table.h"

#include "analysis/tables/cell_number.h"
#include "analysis/text/text_util.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace coffer {
namespace {

// A cell as the sort sees it: numbers of up to 19 whole and 18 fraction digits as two integers,
// texts by their place among the column's distinct texts. Longer numbers are compared from the cell.
struct SortKey {
    std::uint64_t whole = 0;    // a text's place in the order of the column's texts
    std::uint64_t fraction = 0; // the fraction digits padded to 18
    std::uint8_t rank = 0;      // 0: number, not negative; 1: negative number; 2: text
    bool fits = false;
};

constexpr std::size_t kFractionWidth = 18;

// Digits of a number without the zeros that do not change its value.
std::pair<std::string_view, std::string_view> SignificantDigits(const NumberText& number) {
    std::string_view whole = number.wholeDigits;
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    std::string_view fraction = number.fractionDigits;
    const std::size_t lastNonZero = fraction.find_last_not_of('0');
    fraction = lastNonZero == std::string_view::npos ? std::string_view() : fraction.substr(0, lastNonZero + 1);
    return {whole, fraction};
}

SortKey MakeKey(std::string_view text) {
    SortKey key;
    const auto number = ParseNumberText(text);
    if (!number) {
        key.rank = 2;
        return key;
    }
    key.rank = number->negative ? 1 : 0;
    const auto [whole, fraction] = SignificantDigits(*number);
    key.fits = whole.size() <= 19 && fraction.size() <= kFractionWidth;
    if (key.fits) {
        for (char c : whole)
            key.whole = key.whole * 10 + static_cast<std::uint64_t>(c - '0');
        for (std::size_t i = 0; i < kFractionWidth; ++i)
            key.fraction =
                key.fraction * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
    }
    return key;
}

int Sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Two numbers of one sign by magnitude, smallest first, as the padded texts sort.
int CompareMagnitudes(std::string_view a, std::string_view b) {
    const auto [wholeA, fractionA] = SignificantDigits(*ParseNumberText(a));
    const auto [wholeB, fractionB] = SignificantDigits(*ParseNumberText(b));
    if (wholeA.size() != wholeB.size())
        return wholeA.size() < wholeB.size() ? -1 : 1;
    if (const int c = wholeA.compare(wholeB); c != 0)
        return Sign(c);
    return Sign(fractionA.compare(fractionB));
}

// Gives every text key its place among the texts (texts equal but for letter case share one), so
// that keys compare by integers.
void RankTexts(std::vector<SortKey>& keys, std::span<const std::string_view> texts) {
    std::vector<std::uint32_t> byText;
    for (std::uint32_t place = 0; place < keys.size(); ++place)
        if (keys[place].rank == 2)
            byText.push_back(place);
    std::sort(byText.begin(), byText.end(),
              [&](std::uint32_t a, std::uint32_t b) { return CompareNoCase(texts[a], texts[b]) < 0; });
    for (std::size_t i = 0; i < byText.size(); ++i) {
        const bool sameAsPrevious = i > 0 && CompareNoCase(texts[byText[i - 1]], texts[byText[i]]) == 0;
        keys[byText[i]].whole = sameAsPrevious ? keys[byText[i - 1]].whole : i;
    }
}

// Magnitudes too long for the integers are fetched from the cells only for the pairs that need them.
template <typename TextOf> int CompareKeys(const SortKey& a, const SortKey& b, TextOf textOf) {
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    if (a.rank == 2 || (a.fits && b.fits)) {
        if (a.whole != b.whole)
            return a.whole < b.whole ? -1 : 1;
        return a.fraction == b.fraction ? 0 : (a.fraction < b.fraction ? -1 : 1);
    }
    const auto [textA, textB] = textOf();
    return CompareMagnitudes(textA, textB);
}

} // namespace

StatsTable::StatsTable(std::vector<std::string> captions)
    : captions_(std::move(captions)), columns_(captions_.size()) {}

void StatsTable::reserveRows(std::size_t rows) {
    cells_.reserve(rows * columnCount());
    order_.reserve(rows);
}

StatsTable::RowId StatsTable::appendRow(const std::vector<std::string>& cells) {
    std::vector<std::string_view> views(cells.begin(), cells.end());
    return appendRow(std::span<const std::string_view>(views));
}

StatsTable::RowId StatsTable::appendRow(std::span<const std::string_view> cells) {
    const auto id = static_cast<RowId>(order_.size());
    for (std::size_t c = 0; c < columnCount(); ++c)
        cells_.push_back(columns_[c].intern(c < cells.size() ? cells[c] : std::string_view()));
    if (indexed_)
        noteFirstRow(id);
    order_.push_back(id);
    orderIsSorted_ = false;
    return id;
}

void StatsTable::takeFirstColumn(TextIndex&& texts) {
    if (rowCount() != 0)
        throw std::logic_error("a table's first column is taken whole only before its rows");
    columns_[0] = std::move(texts);
}

std::optional<StatsTable::RowId> StatsTable::findFirst(std::string_view key) const {
    if (!indexed_) {
        firstRowOfText_.clear();
        for (RowId id = 0; id < order_.size(); ++id)
            noteFirstRow(id);
        indexed_ = true;
    }
    const auto number = columns_[0].find(key);
    if (!number || *number >= firstRowOfText_.size() || firstRowOfText_[*number] == kNoRow)
        return std::nullopt;
    return firstRowOfText_[*number];
}

void StatsTable::noteFirstRow(RowId id) const {
    const std::uint32_t number = cells_[id * columnCount()];
    if (number >= firstRowOfText_.size())
        firstRowOfText_.resize(number + 1, kNoRow);
    if (firstRowOfText_[number] == kNoRow)
        firstRowOfText_[number] = id;
}

void StatsTable::clear() {
    columns_.assign(columns_.size(), TextIndex{});
    cells_.clear();
    order_.clear();
    firstRowOfText_.clear();
    indexed_ = false;
    orderIsSorted_ = false;
}

StatsTable StatsTable::withoutRows() const {
    StatsTable empty(captions_);
    empty.sorted_ = sorted_;
    empty.sortKey_ = sortKey_;
    empty.direction_ = direction_;
    return empty;
}

void StatsTable::sortRows(int column, SortDirection direction) {
    const bool sameKey = orderIsSorted_ && sortKey_ == column;
    sortKey_ = column;
    if (sameKey) {
        if (direction_ != direction)
            std::reverse(order_.begin(), order_.end());
        direction_ = direction;
        return;
    }
    direction_ = direction;
    // Cells share their column's distinct texts: each text gets a rank once (equal keys one rank),
    // and the rows are counted out by rank in the order they were added, a linear sort however many.
    const auto col = static_cast<std::size_t>(column);
    const std::span<const std::string_view> texts = columns_[col].texts();
    std::vector<SortKey> keys;
    keys.reserve(texts.size());
    for (const std::string_view text : texts)
        keys.push_back(MakeKey(text));
    RankTexts(keys, texts);
    const auto compare = [&](std::uint32_t a, std::uint32_t b) {
        return CompareKeys(keys[a], keys[b],
                           [&]() { return std::pair<std::string_view, std::string_view>(texts[a], texts[b]); });
    };
    std::vector<std::uint32_t> byKey(texts.size());
    for (std::uint32_t place = 0; place < byKey.size(); ++place)
        byKey[place] = place;
    std::sort(byKey.begin(), byKey.end(), [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });
    std::vector<std::uint32_t> rankOf(texts.size());
    for (std::size_t i = 1; i < byKey.size(); ++i)
        rankOf[byKey[i]] = rankOf[byKey[i - 1]] + (compare(byKey[i - 1], byKey[i]) == 0 ? 0 : 1);
    // Rows before each rank, then where the rank's next row goes.
    std::vector<std::size_t> next(texts.size() + 1, 0);
    const std::size_t rows = order_.size();
    for (RowId id = 0; id < rows; ++id)
        ++next[rankOf[cells_[id * columnCount() + col]] + 1];
    for (std::size_t rank = 1; rank < next.size(); ++rank)
        next[rank] += next[rank - 1];
    for (RowId id = 0; id < rows; ++id)
        order_[next[rankOf[cells_[id * columnCount() + col]]]++] = id;
    if (direction == SortDirection::Descending)
        std::reverse(order_.begin(), order_.end());
    orderIsSorted_ = true;
}

} // namespace coffer
