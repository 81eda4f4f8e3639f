// SPDX-License-Identifier: MIT
#pragma once
// Presents one of the engine's statistics tables to a QTableView: column captions and cell texts,
// nothing more. The table owns its rows and sort state; every change to it goes through this model
// so that the views hear of it. Cells are read on demand, so a million rows cost nothing until shown.
// A filter hides rows from the views without touching the table: sorting, reports, charts and
// export still see every row, and the rows shown keep the table's order.

#include "analysis/tables/stats_table.h"

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

namespace coffer {

// Rows whose cell in one of `columns` contains `text` (ASCII letter case ignored, as the engine
// compares names) or, with `wholeCell`, equals it; an empty text keeps every row.
struct ListSearch {
    std::string text;
    std::vector<int> columns;
    bool wholeCell = false;
};

class StatsTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit StatsTableModel(StatsTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const StatsTable& table() const { return table_; }
    // The table position of a row the views show.
    std::size_t tableRow(int row) const;

    void setFilter(ListSearch filter);

    // Reorders the rows (a sort of any kind); selected rows stay selected wherever they move.
    void reorder(const std::function<void(StatsTable&)>& sort);
    // Any other change (rows replaced, table swapped in): the views start over.
    void replace(const std::function<void(StatsTable&)>& change);

    // A header click: SortByColumn on the clicked column, flipping the table's direction.
    void sortByHeader(int section);

  private:
    bool filtered() const { return !filter_.text.empty(); }
    // Whether the filter keeps a row, given which of each filter column's distinct texts match.
    bool keeps(std::size_t tableRow, const std::vector<std::vector<char>>& matching) const;
    // Rebuilds the shown positions; with `narrowing`, from the rows shown now, since a longer text
    // of the same filter can only keep fewer of them.
    void applyFilter(bool narrowing);
    int shownCount() const;

    StatsTable& table_;
    ListSearch filter_;
    std::vector<int> shown_; // table positions of the rows shown, while filtered
    int rows_ = 0;           // the row count the views were last told of
};

} // namespace coffer
