// SPDX-License-Identifier: MIT
#pragma once
// A statistics list (ListView1, ListView2): a plain table view over a StatsTableModel. A header click
// sorts through the engine's SortByColumn; the sort indicator shows the table's own state.

#include <QList>
#include <QTableView>
#include <optional>

namespace coffer {

class StatsTableModel;

class StatsListView : public QTableView {
    Q_OBJECT
  public:
    StatsListView(StatsTableModel* model, QWidget* parent = nullptr);

    // The selected row, if any.
    std::optional<int> selectedRow() const;

    // What the user set up in the view: column widths, selected row, current cell and scroll position.
    struct ViewState {
        QList<int> columnWidths;
        std::optional<int> selectedRow;
        int currentRow = -1, currentColumn = -1;
        int horizontalScroll = 0, verticalScroll = 0;
    };
    ViewState viewState() const;
    // Puts back a state taken while the model showed the same rows.
    void restoreViewState(const ViewState& state);

  signals:
    // A double-click while a row is selected; gives that row.
    void rowDoubleClicked(int row);

  private:
    void showSortState();
    void fitColumns();

    StatsTableModel* model_;
};

} // namespace coffer
