// SPDX-License-Identifier: MIT
#include "ui/stats/stats_table_model.h"

#include "analysis/text/text_util.h"
#include "report/list_sort.h"

#include <vector>

namespace coffer {
namespace {

bool LooksNumeric(std::string_view cell) {
    return !cell.empty() && (cell[0] == '+' || cell[0] == '-' || (cell[0] >= '0' && cell[0] <= '9'));
}

} // namespace

StatsTableModel::StatsTableModel(StatsTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(static_cast<int>(table.rowCount())) {}

int StatsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int StatsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.columnCount());
}

QVariant StatsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const std::string_view cell = table_.cell(tableRow(index.row()), static_cast<std::size_t>(index.column()));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
    case Qt::TextAlignmentRole:
        return index.column() > 0 && LooksNumeric(cell) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                        : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant StatsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(table_.captions()[static_cast<std::size_t>(section)]);
    return {};
}

std::size_t StatsTableModel::tableRow(int row) const {
    return filtered() ? static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)]) : static_cast<std::size_t>(row);
}

bool StatsTableModel::keeps(std::size_t row, const std::vector<std::vector<char>>& matching) const {
    for (std::size_t i = 0; i < matching.size(); ++i)
        if (matching[i][table_.textPlace(row, static_cast<std::size_t>(filter_.columns[i]))])
            return true;
    return false;
}

void StatsTableModel::applyFilter(bool narrowing) {
    if (!filtered()) {
        shown_.clear();
        return;
    }
    // Cells repeat a column's few distinct texts: each text is tested once, not once per row.
    std::vector<std::vector<char>> matching;
    for (const int column : filter_.columns) {
        std::vector<char>& matches = matching.emplace_back();
        for (const std::string_view text : table_.distinctTexts(static_cast<std::size_t>(column)))
            matches.push_back(filter_.wholeCell ? EqualsNoCase(text, filter_.text)
                                                : ContainsNoCase(text, filter_.text));
    }
    if (narrowing) {
        std::erase_if(shown_, [&](int row) { return !keeps(static_cast<std::size_t>(row), matching); });
        return;
    }
    shown_.clear();
    for (std::size_t row = 0; row < table_.rowCount(); ++row)
        if (keeps(row, matching))
            shown_.push_back(static_cast<int>(row));
}

int StatsTableModel::shownCount() const {
    return filtered() ? static_cast<int>(shown_.size()) : static_cast<int>(table_.rowCount());
}

void StatsTableModel::setFilter(ListSearch filter) {
    const bool narrowing = filtered() && !filter.wholeCell && !filter_.wholeCell && filter.columns == filter_.columns &&
                           filter.text.size() > filter_.text.size() && ContainsNoCase(filter.text, filter_.text);
    beginResetModel();
    filter_ = std::move(filter);
    applyFilter(narrowing);
    rows_ = shownCount();
    endResetModel();
}

void StatsTableModel::reorder(const std::function<void(StatsTable&)>& sort) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<StatsTable::RowId> ids;
    ids.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        ids.push_back(table_.rowIdAt(tableRow(index.row())));

    sort(table_);
    applyFilter(false); // the rows shown follow the new order

    if (!before.isEmpty()) {
        // Row ids are dense (0 .. rows-1), so one pass gives every shown row's new position.
        std::vector<int> positionOf(table_.rowCount());
        for (int row = 0; row < rows_; ++row)
            positionOf[table_.rowIdAt(tableRow(row))] = row;
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after.push_back(index(positionOf[ids[static_cast<std::size_t>(i)]], before[i].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void StatsTableModel::replace(const std::function<void(StatsTable&)>& change) {
    beginResetModel();
    change(table_);
    applyFilter(false);
    rows_ = shownCount();
    endResetModel();
}

void StatsTableModel::sortByHeader(int section) {
    if (table_.rowCount() == 0)
        return;
    reorder([section](StatsTable& table) { SortByColumn(table, section + 1); });
}

} // namespace coffer
