// SPDX-License-Identifier: MIT
#include "ui/ledger/entries_tab.h"

#include "ui/base/engine_text.h"
#include "ui/base/named_widget.h"
#include "ui/ledger/entry_list_model.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace coffer {
namespace {

// The Action choice's entries, in the order of ActionGroup.
const QStringList kActionChoices = {QStringLiteral("All actions"), QStringLiteral("Items"),
                                    QStringLiteral("Gold"),        QStringLiteral("Repairs"),
                                    QStringLiteral("Deposits"),    QStringLiteral("Withdrawals")};

} // namespace

EntriesTab::EntriesTab(QWidget* parent) : QWidget(parent), model_(new EntryListModel(this)) {
    searchBox_ = Named(new QLineEdit(this), "txtFindEntry");
    searchBox_->setClearButtonEnabled(true);
    searchBox_->setPlaceholderText(QStringLiteral("Member or item"));
    exactFilter_ = Named(new QPushButton(this), "cmdEntryFilter");
    exactFilter_->setToolTip(QStringLiteral("Remove this filter"));
    exactFilter_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    exactFilter_->setLayoutDirection(Qt::RightToLeft); // the name first, the mark that removes it after
    exactFilter_->hide();
    actionChoice_ = Named(new QComboBox(this), "cmbEntryAction");
    actionChoice_->addItems(kActionChoices);
    exportButton_ = Named(new QPushButton(QStringLiteral("Export Entries as CSV…"), this), "cmdExportEntries");
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Find:"), this));
    filters->addWidget(searchBox_, 1);
    filters->addWidget(exactFilter_);
    filters->addWidget(actionChoice_);
    filters->addWidget(exportButton_);

    view_ = Named(new QTableView(this), "lstLedgerEntries");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setAlternatingRowColors(true);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    // Rows of one height, fixed: the view then never measures rows it does not show.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    // The item's name takes the room the window has to spare.
    view_->horizontalHeader()->setSectionResizeMode(kItemColumn, QHeaderView::Stretch);
    const int digit = view_->fontMetrics().horizontalAdvance(u'0');
    const int widths[kEntryColumns] = {19, 14, 5, 15, 28, 6, 13, 8, 7};
    for (int column = 0; column < kEntryColumns; ++column)
        view_->setColumnWidth(column, widths[column] * digit);
    countLabel_ = Named(new QLabel(this), "lblEntryCount");

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(filters);
    column->addWidget(view_, 1);
    column->addWidget(countLabel_);

    connect(searchBox_, &QLineEdit::textChanged, this, &EntriesTab::applyFilter);
    connect(actionChoice_, &QComboBox::currentIndexChanged, this, &EntriesTab::applyFilter);
    connect(exactFilter_, &QPushButton::clicked, this, [this] {
        member_.reset();
        item_.reset();
        applyFilter();
    });
    connect(model_, &EntryListModel::countChanged, this, &EntriesTab::showCount);
    connect(model_, &EntryListModel::modelReset, this, &EntriesTab::showCount);
    connect(model_, &EntryListModel::changedSinceCounted, this, &EntriesTab::keepPlace);
    connect(model_, &EntryListModel::failed, this,
            [this](const QString& message) { countLabel_->setText(message.simplified()); });
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const auto names = model_->writtenNames(index.row());
        if (names && index.column() == kMemberColumn && !names->first.empty())
            emit memberPageWanted(names->first);
        else if (names && index.column() == kItemColumn && !names->second.empty())
            emit itemPageWanted(names->second);
    });
    // Wherever the focus is while the list is shown: a click on the tab leaves it on the tab bar.
    new QShortcut(QKeySequence::Find, this, this, &EntriesTab::focusSearch);
    view_->installEventFilter(this); // Ctrl+C, before the view copies its current cell alone
    showCount();
}

bool EntriesTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void EntriesTab::setLedger(const std::string& ledger) {
    if (ledger == model_->ledger() && model_->counted())
        keepPlace();
    else
        model_->setLedger(ledger);
}

void EntriesTab::keepPlace() {
    // The rows to find again: the top one, the current one, then each selected range's rows, every one
    // where the model holds them all (a few screens' worth), else its ends.
    const QModelIndex current = view_->currentIndex();
    std::vector<int> rows{view_->rowAt(0), current.row()};
    struct Range {
        std::size_t first, count; // in `rows`
        bool whole;
    };
    std::vector<Range> ranges;
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
        bool whole = range.height() <= static_cast<int>(EntryListModel::kPageRows * EntryListModel::kPagesKept);
        for (int row = range.top(); whole && row <= range.bottom(); ++row)
            whole = model_->holds(row);
        const std::size_t first = rows.size();
        if (whole)
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        else
            rows.insert(rows.end(), {range.top(), range.bottom()});
        ranges.push_back({.first = first, .count = rows.size() - first, .whole = whole});
    }
    QScrollBar* vertical = view_->verticalScrollBar();
    QScrollBar* horizontal = view_->horizontalScrollBar();
    const int top = rows[0], scrolled = vertical->value(), across = horizontal->value(), column = current.column();
    model_->reread(rows, [=, this](const std::vector<std::optional<int>>& found, int added) {
        const int last = model_->rowCount() - 1;
        // A row not held is kept by its number; a range's end not held takes in every row that may be it.
        const auto at = [&](std::size_t index, int otherwise) { return found[index].value_or(otherwise); };
        QItemSelection selection;
        const auto select = [&](int first, int final) {
            if (first <= final)
                selection.select(model_->index(first, 0), model_->index(final, kEntryColumns - 1));
        };
        for (const Range& range : ranges) {
            if (!range.whole) {
                select(at(range.first, rows[range.first]),
                       std::min(last, at(range.first + 1, rows[range.first + 1] + added)));
                continue;
            }
            for (std::size_t index = range.first; index < range.first + range.count;) {
                const std::size_t start = index++;
                if (!found[start])
                    continue;
                while (index < range.first + range.count && found[index] && *found[index] == *found[index - 1] + 1)
                    ++index;
                select(*found[start], *found[index - 1]);
            }
        }
        // The current row and the selection come back without scrolling the view, which then shows the
        // top row where it was.
        const bool autoScroll = view_->hasAutoScroll();
        view_->setAutoScroll(false);
        if (current.isValid())
            view_->selectionModel()->setCurrentIndex(model_->index(std::min(last, at(1, current.row())), column),
                                                     QItemSelectionModel::NoUpdate);
        view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        view_->setAutoScroll(autoScroll);
        view_->doItemsLayout(); // the scroll bar's range for the new count
        const int shift = top < 0 ? 0 : at(0, top) - top;
        vertical->setValue(scrolled + (view_->verticalScrollMode() == QAbstractItemView::ScrollPerItem
                                           ? shift
                                           : shift * view_->rowHeight(0)));
        horizontal->setValue(across);
    });
}

void EntriesTab::setPeriod(const std::optional<TimeRange>& period) {
    if (period == period_)
        return; // a change of the Options frame's days while the ledger's period is another
    period_ = period;
    applyFilter();
}

void EntriesTab::showExactly(bool member, const std::string& name, const std::optional<TimeRange>& period) {
    (member ? member_ : item_) = name;
    (member ? item_ : member_).reset();
    period_ = period;
    applyFilter();
}

void EntriesTab::focusSearch() {
    searchBox_->setFocus(Qt::ShortcutFocusReason);
    searchBox_->selectAll();
}

void EntriesTab::applyFilter() {
    const EntryListFilter filter{.period = period_,
                                 .search = searchBox_->text().toStdString(),
                                 .member = member_,
                                 .item = item_,
                                 .action = static_cast<ActionGroup>(std::max(0, actionChoice_->currentIndex()))};
    const std::optional<std::string>& exact = member_ ? member_ : item_;
    exactFilter_->setVisible(exact.has_value());
    if (exact)
        exactFilter_->setText((member_ ? QStringLiteral("Member: ") : QStringLiteral("Item: ")) + ToQString(*exact));
    if (filter != model_->filter() || !model_->counted())
        model_->setFilter(filter);
}

void EntriesTab::showCount() {
    if (model_->ledger().empty() || !model_->counted()) {
        countLabel_->setText(model_->ledger().empty() ? QString() : QStringLiteral("Counting the entries…"));
        return;
    }
    QString text = QStringLiteral("%1 entries").arg(QLocale(QLocale::English).toString(model_->rowCount()));
    if (!model_->indexed())
        text += QStringLiteral(" (read from every entry's text, which is slower until the ledger is next added to)");
    countLabel_->setText(text);
}

void EntriesTab::copySelection() {
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : view_->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    std::ranges::sort(ranges);
    if (ranges.empty())
        return;
    model_->copyRows(ranges, [](const QString& text) { QApplication::clipboard()->setText(text); });
}

} // namespace coffer
