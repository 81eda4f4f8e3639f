#include "analysis/stats_table.h"

#include "analysis/cell_number.h"
#include "analysis/text_util.h"

#include <algorithm>
#include <cstring>

namespace coffer {
namespace {

struct SortKey {
    int rank = 0; // 0: number, not negative; 1: negative number; 2: text
    std::string_view whole;
    std::string_view fraction;
    std::string_view text;
};

SortKey MakeKey(std::string_view text) {
    SortKey key;
    key.text = text;
    const auto number = ParseNumberText(text);
    if (!number) {
        key.rank = 2;
        return key;
    }
    std::string_view whole = number->wholeDigits;
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    std::string_view fraction = number->fractionDigits;
    const std::size_t lastNonZero = fraction.find_last_not_of('0');
    fraction = lastNonZero == std::string_view::npos ? std::string_view() : fraction.substr(0, lastNonZero + 1);
    key.rank = number->negative ? 1 : 0;
    key.whole = whole;
    key.fraction = fraction;
    return key;
}

int CompareDigits(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareKeys(const SortKey& a, const SortKey& b) {
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    if (a.rank == 2)
        return CompareNoCase(a.text, b.text);
    // Both numbers of one sign: by magnitude, smallest first, as the padded texts sort.
    if (a.whole.size() != b.whole.size())
        return a.whole.size() < b.whole.size() ? -1 : 1;
    if (const int c = CompareDigits(a.whole, b.whole); c != 0)
        return c;
    return CompareDigits(a.fraction, b.fraction);
}

} // namespace

StatsTable::StatsTable(std::vector<std::string> captions) : captions_(std::move(captions)) {}

void StatsTable::setCellOf(RowId id, std::size_t column, std::string text) {
    if (column == 0 || column >= columnCount())
        return;
    cells_[id * columnCount() + column] = std::move(text);
    orderIsSorted_ = false;
}

StatsTable::RowId StatsTable::appendRow(std::vector<std::string> cells) {
    const auto id = static_cast<RowId>(order_.size());
    cells.resize(columnCount());
    firstByKey_.try_emplace(cells[0], id);
    std::move(cells.begin(), cells.end(), std::back_inserter(cells_));
    order_.push_back(id);
    orderIsSorted_ = false;
    return id;
}

std::optional<StatsTable::RowId> StatsTable::findFirst(std::string_view key) const {
    const auto it = firstByKey_.find(key);
    if (it == firstByKey_.end())
        return std::nullopt;
    return it->second;
}

void StatsTable::clear() {
    cells_.clear();
    order_.clear();
    firstByKey_.clear();
    orderIsSorted_ = false;
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
    std::vector<SortKey> keys(order_.size());
    for (RowId id = 0; id < keys.size(); ++id)
        keys[id] = MakeKey(cellOf(id, col));
    const bool descending = direction == SortDirection::Descending;
    std::sort(order_.begin(), order_.end(), [&](RowId a, RowId b) {
        const int c = CompareKeys(keys[a], keys[b]);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return descending ? a > b : a < b;
    });
    orderIsSorted_ = true;
}

} // namespace coffer
