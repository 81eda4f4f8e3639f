#include "analysis/stats_table.h"

#include "analysis/cell_number.h"
#include "analysis/text_util.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <unordered_map>

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
            key.fraction = key.fraction * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
    }
    return key;
}

int Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

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

// Gives every text key its place among the column's distinct texts (texts equal but for letter case
// share one), so that rows compare by integers: far faster than comparing the texts row by row.
void RankTexts(std::vector<SortKey>& keys, const std::function<std::string_view(std::size_t)>& textOf) {
    std::unordered_map<std::string_view, std::uint32_t> groupOf;
    std::vector<std::string_view> distinct;
    std::vector<std::uint32_t> groups(keys.size());
    for (std::size_t id = 0; id < keys.size(); ++id) {
        if (keys[id].rank != 2)
            continue;
        const auto [it, added] = groupOf.try_emplace(textOf(id), static_cast<std::uint32_t>(distinct.size()));
        if (added)
            distinct.push_back(it->first);
        groups[id] = it->second;
    }
    std::vector<std::uint32_t> byText(distinct.size());
    for (std::uint32_t g = 0; g < byText.size(); ++g)
        byText[g] = g;
    std::sort(byText.begin(), byText.end(),
              [&](std::uint32_t a, std::uint32_t b) { return CompareNoCase(distinct[a], distinct[b]) < 0; });
    std::vector<std::uint64_t> place(distinct.size());
    for (std::size_t i = 0; i < byText.size(); ++i) {
        const bool sameAsPrevious = i > 0 && CompareNoCase(distinct[byText[i - 1]], distinct[byText[i]]) == 0;
        place[byText[i]] = sameAsPrevious ? place[byText[i - 1]] : i;
    }
    for (std::size_t id = 0; id < keys.size(); ++id)
        if (keys[id].rank == 2)
            keys[id].whole = place[groups[id]];
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

std::uint32_t StatsTable::Column::intern(std::string text) {
    if (const auto it = placeOf.find(std::string_view(text)); it != placeOf.end())
        return it->second;
    const auto place = static_cast<std::uint32_t>(texts.size());
    placeOf.emplace(text, place);
    texts.push_back(std::move(text));
    return place;
}

StatsTable::StatsTable(std::vector<std::string> captions)
    : captions_(std::move(captions)), columns_(captions_.size()) {}

StatsTable::RowId StatsTable::appendRow(std::vector<std::string> cells) {
    const auto id = static_cast<RowId>(order_.size());
    cells.resize(columnCount());
    if (indexed_)
        firstByKey_.try_emplace(cells[0], id);
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells_.push_back(columns_[c].intern(std::move(cells[c])));
    order_.push_back(id);
    orderIsSorted_ = false;
    return id;
}

std::optional<StatsTable::RowId> StatsTable::findFirst(std::string_view key) const {
    if (!indexed_) {
        for (RowId id = 0; id < order_.size(); ++id)
            firstByKey_.try_emplace(cellOf(id, 0), id);
        indexed_ = true;
    }
    const auto it = firstByKey_.find(key);
    if (it == firstByKey_.end())
        return std::nullopt;
    return it->second;
}

void StatsTable::clear() {
    columns_.assign(columns_.size(), Column{});
    cells_.clear();
    order_.clear();
    firstByKey_.clear();
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
    const auto col = static_cast<std::size_t>(column);
    std::vector<SortKey> keys;
    keys.reserve(order_.size());
    for (RowId id = 0; id < order_.size(); ++id)
        keys.push_back(MakeKey(cellOf(id, col)));
    RankTexts(keys, [&](std::size_t id) { return std::string_view(cellOf(static_cast<RowId>(id), col)); });
    const bool descending = direction == SortDirection::Descending;
    const auto before = [&](RowId a, RowId b) {
        const int c = CompareKeys(keys[a], keys[b], [&]() {
            return std::pair<std::string_view, std::string_view>(cellOf(a, col), cellOf(b, col));
        });
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return descending ? a > b : a < b;
    };
    // Rows often stand in order already, or in the reverse order (a column of equal cells): a linear
    // check spares the sort.
    if (std::is_sorted(order_.rbegin(), order_.rend(), before))
        std::reverse(order_.begin(), order_.end());
    else if (!std::is_sorted(order_.begin(), order_.end(), before))
        std::sort(order_.begin(), order_.end(), before);
    orderIsSorted_ = true;
}

} // namespace coffer
