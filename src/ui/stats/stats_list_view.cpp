// SPDX-License-Identifier: MIT
#include "ui/stats/stats_list_view.h"

#include "ui/stats/stats_table_model.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <algorithm>

namespace coffer {
namespace {

// Columns are sized from their caption and the first rows only, so a reset costs the same at any size.
constexpr int kRowsSampledForWidth = 50;

} // namespace

StatsListView::StatsListView(StatsTableModel* model, QWidget* parent) : QTableView(parent), model_(model) {
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(true);
    setSortingEnabled(false); // the table sorts itself; the view only forwards clicks

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(true);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(true);
    connect(columns, &QHeaderView::sectionClicked, model, &StatsTableModel::sortByHeader);
    // The header moves its indicator on every click before the table is asked; a click that sorts
    // nothing (an empty list) must leave it where the table's state puts it.
    connect(columns, &QHeaderView::sectionClicked, this, &StatsListView::showSortState);
    connect(model, &QAbstractItemModel::layoutChanged, this, &StatsListView::showSortState);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        showSortState();
        fitColumns();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] {
        if (const auto row = selectedRow())
            emit rowDoubleClicked(*row);
    });
    showSortState();
    fitColumns();
}

std::optional<int> StatsListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.front().row();
}

StatsListView::ViewState StatsListView::viewState() const {
    ViewState state;
    for (int column = 0; column < model_->columnCount(); ++column)
        state.columnWidths << columnWidth(column);
    state.selectedRow = selectedRow();
    state.currentRow = currentIndex().row();
    state.currentColumn = currentIndex().column();
    state.horizontalScroll = horizontalScrollBar()->value();
    state.verticalScroll = verticalScrollBar()->value();
    return state;
}

void StatsListView::restoreViewState(const ViewState& state) {
    for (int column = 0; column < state.columnWidths.size(); ++column)
        setColumnWidth(column, state.columnWidths[column]);
    if (state.selectedRow)
        selectRow(*state.selectedRow);
    selectionModel()->setCurrentIndex(model_->index(state.currentRow, state.currentColumn),
                                      QItemSelectionModel::NoUpdate);
    doItemsLayout(); // the scroll ranges of the rows put back, before the positions
    horizontalScrollBar()->setValue(state.horizontalScroll);
    verticalScrollBar()->setValue(state.verticalScroll);
}

void StatsListView::showSortState() {
    const StatsTable& table = model_->table();
    QHeaderView* columns = horizontalHeader();
    columns->setSortIndicatorShown(table.sorted());
    columns->setSortIndicator(table.sortKey(),
                              table.direction() == SortDirection::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void StatsListView::fitColumns() {
    const QFontMetrics metrics = fontMetrics();
    const QFontMetrics headerMetrics = horizontalHeader()->fontMetrics();
    const int padding = 2 * metrics.averageCharWidth() + 16; // cell margins and the sort arrow
    const int rows = std::min(model_->rowCount(), kRowsSampledForWidth);
    for (int column = 0; column < model_->columnCount(); ++column) {
        int width = headerMetrics.horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString());
        for (int row = 0; row < rows; ++row)
            width = std::max(width, metrics.horizontalAdvance(model_->index(row, column).data().toString()));
        setColumnWidth(column, width + padding);
    }
}

} // namespace coffer
