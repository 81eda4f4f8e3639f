// SPDX-License-Identifier: MIT
#include "ui/ledger/entries_tab.h"

#include "analysis/text/web_text.h"
#include "ui/base/engine_text.h"
#include "ui/base/named_widget.h"
#include "ui/ledger/entry_list_model.h"
#include "ui/ledger/timeline_layout.h"

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

// The columns a click on the header sorts by, in the order of EntrySortColumn.
constexpr int kSortedColumns[] = {kTimeColumn, kMemberColumn, kItemColumn, kCountColumn, kGoldColumn};

// The filters and the order of the list as its line says them: "Orron, 2008-12-01 to 2008-12-07,
// withdrawals", or "everything"; an order other than newest first follows ("by member, Z to A").
QString ListedText(const EntryListFilter& filter, const EntrySort& sort) {
    QStringList parts;
    if (const std::optional<std::string>& exact = filter.member ? filter.member : filter.item)
        parts << ToQString(CleanText(*exact));
    if (filter.period) {
        const auto day = [](std::uint64_t ms) { return LocalDay(static_cast<std::int64_t>(ms)).toString(Qt::ISODate); };
        parts << QStringLiteral("%1 to %2").arg(day(filter.period->first), day(filter.period->last));
    }
    if (!filter.search.empty())
        parts << QStringLiteral("holding \"%1\"").arg(ToQString(CleanText(filter.search)));
    if (filter.action != ActionGroup::All)
        parts << kActionChoices.at(static_cast<int>(filter.action)).toLower();
    QString text = parts.isEmpty() ? QStringLiteral("everything") : parts.join(QStringLiteral(", "));
    if (sort.column == EntrySortColumn::Time)
        return sort.reversed ? text + QStringLiteral(", oldest first") : text;
    const QString column = ToQString(EntryCaptions()[kSortedColumns[static_cast<int>(sort.column)]]).toLower();
    return text + QStringLiteral(", by ") + column + (sort.reversed ? QStringLiteral(", reversed") : QString());
}

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
    view_->horizontalHeader()->setSectionsClickable(true);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    const int digit = view_->fontMetrics().horizontalAdvance(u'0');
    const int widths[kEntryColumns] = {19, 14, 5, 15, 28, 6, 13, 8, 7};
    for (int column = 0; column < kEntryColumns; ++column)
        view_->setColumnWidth(column, widths[column] * digit);
    countLabel_ = Named(new QLabel(this), "lblEntryCount");
    totalsLabel_ = Named(new QLabel(this), "lblEntryTotals");
    totalsLabel_->setWordWrap(true); // a narrow window takes it on two lines
    totalsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(filters);
    column->addWidget(view_, 1);
    column->addWidget(countLabel_);
    column->addWidget(totalsLabel_);

    connect(searchBox_, &QLineEdit::textChanged, this, &EntriesTab::applyFilter);
    connect(actionChoice_, &QComboBox::currentIndexChanged, this, &EntriesTab::applyFilter);
    connect(exactFilter_, &QPushButton::clicked, this, [this] {
        exact_.reset();
        if (!earlier_.empty()) {
            exact_ = earlier_.back();
            earlier_.pop_back();
        }
        applyFilter();
    });
    connect(model_, &EntryListModel::countChanged, this, &EntriesTab::showCount);
    connect(model_, &EntryListModel::modelReset, this, &EntriesTab::showCount);
    connect(model_, &EntryListModel::totalsChanged, this, &EntriesTab::showTotals);
    connect(model_, &EntryListModel::modelReset, this, &EntriesTab::showTotals);
    connect(model_, &EntryListModel::changedSinceCounted, this, &EntriesTab::keepPlace);
    connect(model_, &EntryListModel::modelReset, this, &EntriesTab::showSort);
    connect(model_, &EntryListModel::sortRefused, this, &EntriesTab::statusWanted);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, &EntriesTab::sortBy);
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
    showTotals();
    showSort();
}

void EntriesTab::sortBy(int column) {
    const auto* sorted = std::ranges::find(kSortedColumns, column);
    if (sorted != std::end(kSortedColumns)) {
        const auto by = static_cast<EntrySortColumn>(sorted - std::begin(kSortedColumns));
        const EntrySort& now = model_->sort();
        model_->setSort({.column = by, .reversed = now.column == by && !now.reversed});
    }
    showSort(); // the header's own flip of its mark is undone until the list is sorted
}

void EntriesTab::showSort() {
    const EntrySort& sort = model_->sort();
    // Newest first, and a column's first order from the top, read as the header's marks do.
    const bool ascending = sort.column == EntrySortColumn::Time ? sort.reversed : !sort.reversed;
    view_->horizontalHeader()->setSortIndicator(kSortedColumns[static_cast<int>(sort.column)],
                                                ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
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

void EntriesTab::showExactly(bool member, const std::string& name) {
    const ExactName wanted{.member = member, .name = name};
    if (exact_ == wanted)
        return;
    earlier_.push_back(exact_);
    exact_ = wanted;
    applyFilter();
}

void EntriesTab::focusSearch() {
    searchBox_->setFocus(Qt::ShortcutFocusReason);
    searchBox_->selectAll();
}

void EntriesTab::applyFilter() {
    const auto exactName = [this](bool member) {
        return exact_ && exact_->member == member ? std::optional(exact_->name) : std::nullopt;
    };
    const EntryListFilter filter{.period = period_,
                                 .search = searchBox_->text().toStdString(),
                                 .member = exactName(true),
                                 .item = exactName(false),
                                 .action = static_cast<ActionGroup>(std::max(0, actionChoice_->currentIndex()))};
    exactFilter_->setVisible(exact_.has_value());
    if (exact_)
        exactFilter_->setText((exact_->member ? QStringLiteral("Member: ") : QStringLiteral("Item: ")) +
                              ToQString(exact_->name));
    if (filter != model_->filter() || !model_->counted())
        model_->setFilter(filter);
}

void EntriesTab::showCount() {
    if (model_->ledger().empty() || !model_->counted()) {
        countLabel_->setText(model_->ledger().empty() ? QString() : QStringLiteral("Counting the entries…"));
        return;
    }
    QString text =
        QStringLiteral("%1 entries: %2")
            .arg(QLocale(QLocale::English).toString(model_->rowCount()), ListedText(model_->filter(), model_->sort()));
    if (!model_->indexed())
        text += QStringLiteral(" (read from every entry's text, which is slower until the ledger is next added to)");
    countLabel_->setText(text);
}

void EntriesTab::showTotals() {
    const std::optional<ListTotals>& totals = model_->totals();
    if (totals)
        totalsLabel_->setText(ToQString(ListTotalsText(*totals)));
    else
        totalsLabel_->setText(model_->counted() && model_->rowCount() > 0 ? QStringLiteral("Adding up the entries…")
                                                                          : QString());
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
