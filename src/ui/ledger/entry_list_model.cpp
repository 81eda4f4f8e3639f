// SPDX-License-Identifier: MIT
#include "ui/ledger/entry_list_model.h"

#include "report/table_export.h"
#include "shell/output_files.h"
#include "ui/base/engine_text.h"

#include <algorithm>

namespace coffer {

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent) {
    connect(&reader_, &EntryReader::failed, this, [this](const QString& message) {
        requested_.clear();
        emit failed(message);
    });
}

void EntryListModel::setLedger(const std::string& ledger) {
    ledger_ = ledger;
    reader_.open(ledger);
    setFilter(filter_);
}

void EntryListModel::setFilter(const EntryListFilter& filter) {
    load(filter);
}

void EntryListModel::setSort(EntrySort sort) {
    wanted_ = sort;
    load(filter_);
}

void EntryListModel::load(const EntryListFilter& filter) {
    beginResetModel();
    filter_ = filter;
    ++generation_;
    reader_.viewChanged();
    total_ = 0;
    counted_ = false;
    totals_.reset();
    pages_.clear();
    recent_.clear();
    requested_.clear();
    endResetModel();
    if (ledger_.empty())
        return;
    // A sort refused keeps the order of time the list had.
    const EntrySort fallback = sort_.column == EntrySortColumn::Time ? sort_ : EntrySort{};
    reader_.runForView([this, generation = generation_, filter, wanted = wanted_, fallback,
                        most = mostRowsSorted_](LedgerStore& store) -> EntryReader::Reply {
        Order order{.sort = wanted, .sorted = nullptr};
        bool refused = false;
        std::pair<std::uint64_t, Page> first;
        std::optional<ListTotals> totals;
        store.readAtOnce([&] { // the sort and its first page of one moment
            if (wanted.column != EntrySortColumn::Time) {
                std::optional<SortedList> sorted = store.sortListed(filter, wanted, most);
                refused = !sorted;
                if (sorted)
                    order.sorted = std::make_shared<const SortedList>(std::move(*sorted));
                else
                    order.sort = fallback;
            }
            // The count comes with the first page, read with it, and in the order of time the totals too.
            first = ReadPage(store, filter, order, 0, &totals);
        });
        const bool indexed = store.listIndexed();
        const std::optional<GuildIdentity> guild = store.guild();
        return [this, generation, total = first.first, rows = std::move(first.second), totals, indexed, order, refused,
                refusal = ToQString(TooManyToSortText(wanted.column, most)),
                realm = guild ? guild->realm : std::string()]() mutable {
            if (generation != generation_)
                return;
            beginResetModel();
            total_ = total;
            counted_ = true;
            indexed_ = indexed;
            realm_ = realm;
            sort_ = order.sort;
            sorted_ = order.sorted;
            if (refused)
                wanted_ = sort_;
            endResetModel();
            if (refused)
                emit sortRefused(refusal);
            emit countChanged();
            received(generation, 0, total, std::move(rows));
            if (!totals) {
                readTotals(); // after the first screen, which is wanted first
                return;
            }
            totals_ = totals;
            emit totalsChanged();
        };
    });
}

void EntryListModel::readTotals() {
    if (totals_) {
        totals_.reset();
        emit totalsChanged();
    }
    reader_.runForView([this, generation = generation_, filter = filter_](LedgerStore& store) -> EntryReader::Reply {
        const ListTotals totals = store.listTotals(filter);
        return [this, generation, totals] {
            if (generation != generation_)
                return;
            totals_ = totals;
            emit totalsChanged();
        };
    });
}

void EntryListModel::reread(const std::vector<int>& rows, Kept kept) {
    if (sort_ != EntrySort{}) { // rows added go anywhere in another order: it is read anew
        load(filter_);
        return;
    }
    std::vector<KeptRow> known;
    std::vector<std::size_t> asked; // which of `rows` each known row is
    for (std::size_t at = 0; at < rows.size(); ++at)
        if (std::optional<RowIdentity> identity = identityOf(rows[at])) {
            known.push_back({.identity = std::move(*identity), .row = static_cast<std::uint64_t>(rows[at])});
            asked.push_back(at);
        }
    reader_.runForView([this, generation = generation_, reread = ++rereads_, filter = filter_, before = total_,
                        known = std::move(known), asked = std::move(asked), wanted = rows.size(),
                        kept = std::move(kept)](LedgerStore& store) -> EntryReader::Reply {
        std::uint64_t total = 0;
        bool indexed = true, current = false;
        std::vector<std::optional<std::uint64_t>> found;
        std::map<std::uint64_t, Page> pages;
        store.readAtOnce([&] { // the count, the rows found and the pages about them of one moment
            total = store.countListed(filter);
            indexed = store.listIndexed();
            current = total >= before && total - before <= kMostRowsKeptAcross;
            if (!current || total == before)
                return;
            found = FindKeptRows(store, filter, total, total - before, known);
            const std::uint64_t top = !found.empty() && found.front() ? *found.front() : total;
            for (std::uint64_t page = top / kPageRows; page * kPageRows < std::min(total, top + kPageRows); ++page)
                pages[page] = ReadPage(store, filter, {}, page).second;
        });
        return [=, this, pages = std::move(pages)]() mutable {
            if (generation != generation_ || reread != rereads_)
                return;
            if (!current) {
                setFilter(filter_);
                return;
            }
            indexed_ = indexed;
            if (total == before) { // no row of this filter came in: the rows held are the list's still
                emit countChanged();
                return;
            }
            beginResetModel();
            ++generation_;
            reader_.viewChanged();
            total_ = total;
            requested_.clear();
            recent_.clear();
            for (const auto& [page, rows] : pages)
                recent_.push_back(page);
            pages_ = std::move(pages);
            endResetModel();
            emit countChanged();
            readTotals();
            std::vector<std::optional<int>> where(wanted);
            for (std::size_t at = 0; at < found.size(); ++at)
                if (found[at])
                    where[asked[at]] = static_cast<int>(std::min<std::uint64_t>(*found[at], INT32_MAX));
            kept(where, static_cast<int>(total - before));
        };
    });
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    // A view's rows are ints: a list longer than that shows its first two thousand million.
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::uint64_t>(total_, INT32_MAX));
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kEntryColumns;
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kEntryColumns)
        return {};
    if (role == Qt::DisplayRole)
        return ToQString(EntryCaptions()[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole && (section == kCountColumn || section == kGoldColumn))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return headerData(index.column(), Qt::Horizontal, role);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const auto row = static_cast<std::uint64_t>(index.row());
    const auto page = pages_.find(row / kPageRows);
    if (page == pages_.end()) {
        request(row / kPageRows);
        return index.column() == kTimeColumn && role == Qt::DisplayRole ? QStringLiteral("…") : QVariant();
    }
    const std::size_t at = row % kPageRows;
    return at < page->second.size() ? page->second[at].cells.value(index.column()) : QVariant();
}

std::size_t EntryListModel::heldRows() const {
    std::size_t rows = 0;
    for (const auto& [number, page] : pages_)
        rows += page.size();
    return rows;
}

const EntryListModel::Row* EntryListModel::held(int row) const {
    const auto page = pages_.find(static_cast<std::uint64_t>(row) / kPageRows);
    const std::size_t at = static_cast<std::uint64_t>(row) % kPageRows;
    return row < 0 || page == pages_.end() || at >= page->second.size() ? nullptr : &page->second[at];
}

bool EntryListModel::holds(int row) const {
    return held(row) != nullptr;
}

std::optional<std::pair<std::string, std::string>> EntryListModel::writtenNames(int row) const {
    const Row* held = this->held(row);
    return held ? std::optional(std::pair{held->member, held->item}) : std::nullopt;
}

std::optional<RowIdentity> EntryListModel::identityOf(int row) const {
    const Row* kept = held(row);
    if (kept == nullptr)
        return std::nullopt;
    // Its entry's earlier copies are the rows just before it that are the same entry (as far as they are
    // held: a copy of another is the same to the eye).
    std::uint64_t copy = 0;
    for (const Row* before = held(row - 1); before != nullptr && before->listed == kept->listed;
         before = held(row - 1 - static_cast<int>(copy)))
        ++copy;
    return IdentityOf(kept->listed, copy);
}

void EntryListModel::request(std::uint64_t page) const {
    if (!counted_ || !requested_.insert(page).second)
        return;
    auto* self = const_cast<EntryListModel*>(this); // the pages are a cache of what the model shows
    self->reader_.runForView([self, generation = generation_, filter = filter_,
                              order = Order{.sort = sort_, .sorted = sorted_}, page](LedgerStore& store) {
        auto [total, rows] = ReadPage(store, filter, order, page);
        return [self, generation, page, total, rows = std::move(rows)]() mutable {
            self->received(generation, page, total, std::move(rows));
        };
    });
}

ListedPage EntryListModel::ReadRows(LedgerStore& store, const EntryListFilter& filter, const Order& order,
                                    std::uint64_t first, std::uint64_t count, bool withTotals) {
    if (!order.sorted)
        return store.listRows(filter, first, count, order.sort.reversed, withTotals);
    return {.rows = store.sortedRows(filter, *order.sorted, first, count), .total = order.sorted->rows};
}

std::pair<std::uint64_t, EntryListModel::Page> EntryListModel::ReadPage(LedgerStore& store,
                                                                        const EntryListFilter& filter,
                                                                        const Order& order, std::uint64_t page,
                                                                        std::optional<ListTotals>* totals) {
    ListedPage read = ReadRows(store, filter, order, page * kPageRows, kPageRows, totals != nullptr);
    if (totals != nullptr)
        *totals = read.totals;
    Page rows;
    for (ListedRow& listed : read.rows) {
        Row& row = rows.emplace_back();
        for (const std::string& cell : MakeEntryCells(listed.text, listed.ts))
            row.cells << ToQString(cell);
        std::tie(row.member, row.item) = WrittenNames(listed.text);
        row.listed = std::move(listed);
    }
    return {read.total, std::move(rows)};
}

void EntryListModel::received(std::uint64_t generation, std::uint64_t page, std::uint64_t total, Page rows) {
    if (generation != generation_)
        return;
    requested_.erase(page);
    // Another program changed the list since it was counted: the page's read counted it as it is now, and
    // its rows may stand elsewhere in the list held. The list is read again, keeping its place.
    if (total != total_) {
        emit changedSinceCounted();
        return;
    }
    pages_[page] = std::move(rows);
    recent_.remove(page);
    recent_.push_front(page);
    // The pages used longest ago go: a few screens about the view are all that is held.
    while (recent_.size() > kPagesKept) {
        pages_.erase(recent_.back());
        recent_.pop_back();
    }
    const int first = static_cast<int>(std::min<std::uint64_t>(page * kPageRows, INT32_MAX));
    const int last = std::min(rowCount() - 1, first + static_cast<int>(kPageRows) - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, kEntryColumns - 1));
}

void EntryListModel::copyRows(const std::vector<std::pair<int, int>>& ranges,
                              std::function<void(const QString&)> done) {
    reader_.run([ranges, filter = filter_, order = Order{.sort = sort_, .sorted = sorted_},
                 done = std::move(done)](LedgerStore& store) {
        std::string text;
        const auto& captions = EntryCaptions();
        RowWriter rows({captions.begin(), captions.end()}, TableFormat::TabSeparated, [&](std::string_view piece) {
            text.append(piece);
            return true;
        });
        for (const auto& [first, last] : ranges)
            for (const ListedRow& listed : ReadRows(store, filter, order, static_cast<std::uint64_t>(first),
                                                    static_cast<std::uint64_t>(last - first + 1))
                                               .rows)
                rows.row(MakeEntryCells(listed.text, listed.ts));
        rows.finish();
        return [done, copied = ToQString(text)] { done(copied); };
    });
}

void EntryListModel::exportCsv(const std::string& file, std::function<void(const QString& error)> done) {
    reader_.run(
        [file, filter = filter_, sort = sort_, done](LedgerStore& store) {
            OutputFiles outputs;
            bool sorted = true;
            std::string error = outputs.add(file, [&](const TextSink& sink) {
                const auto& captions = EntryCaptions();
                RowWriter rows({captions.begin(), captions.end()}, TableFormat::Csv, sink);
                sorted = ForEachEntryCells(store, filter, sort, [&](const EntryCells& cells) { rows.row(cells); });
                return sorted && rows.finish();
            });
            if (!sorted) // the ledger grew past what a sort takes since the list was sorted
                error = TooManyToSortText(sort.column);
            else if (error.empty())
                error = outputs.commit();
            return [done, error = ToQString(error)] { done(error); };
        },
        done);
}

} // namespace coffer
