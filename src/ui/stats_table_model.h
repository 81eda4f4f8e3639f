#pragma once
// Presents one of the engine's statistics tables to a QTableView: column captions and cell texts,
// nothing more. The table owns its rows and sort state; every change to it goes through this model
// so that the views hear of it. Cells are read on demand, so a million rows cost nothing until shown.

#include "analysis/stats_table.h"

#include <QAbstractTableModel>
#include <functional>

namespace coffer {

class StatsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StatsTableModel(StatsTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const StatsTable& table() const { return table_; }

    // Reorders the rows (a sort of any kind); selected rows stay selected wherever they move.
    void reorder(const std::function<void(StatsTable&)>& sort);
    // Any other change (rows replaced, table swapped in): the views start over.
    void replace(const std::function<void(StatsTable&)>& change);

    // A header click: EnhListView_SortColumns on the clicked column, flipping the table's direction.
    void sortByHeader(int section);

private:
    StatsTable& table_;
    int rows_ = 0; // the row count the views were last told of
};

} // namespace coffer
