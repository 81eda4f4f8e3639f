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
    beginResetModel();
    filter_ = filter;
    ++generation_;
    reader_.viewChanged();
    total_ = 0;
    counted_ = false;
    pages_.clear();
    recent_.clear();
    requested_.clear();
    endResetModel();
    if (ledger_.empty())
        return;
    reader_.runForView([this, generation = generation_, filter](LedgerStore& store) -> EntryReader::Reply {
        // The count comes with the first page, read with it.
        ListedPage first = store.listRows(filter, 0, kPageRows);
        const bool indexed = store.listIndexed();
        const std::optional<GuildIdentity> guild = store.guild();
        return [this, generation, total = first.total, rows = PageOf(first.rows), indexed,
                realm = guild ? guild->realm : std::string()]() mutable {
            if (generation != generation_)
                return;
            beginResetModel();
            total_ = total;
            counted_ = true;
            indexed_ = indexed;
            realm_ = realm;
            endResetModel();
            emit countChanged();
            received(generation, 0, total, std::move(rows));
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

std::optional<std::pair<std::string, std::string>> EntryListModel::writtenNames(int row) const {
    const auto page = pages_.find(static_cast<std::uint64_t>(row) / kPageRows);
    const std::size_t at = static_cast<std::uint64_t>(row) % kPageRows;
    if (row < 0 || page == pages_.end() || at >= page->second.size())
        return std::nullopt;
    return std::pair{page->second[at].member, page->second[at].item};
}

void EntryListModel::request(std::uint64_t page) const {
    if (!counted_ || !requested_.insert(page).second)
        return;
    auto* self = const_cast<EntryListModel*>(this); // the pages are a cache of what the model shows
    self->reader_.runForView([self, generation = generation_, filter = filter_, page](LedgerStore& store) {
        ListedPage read = store.listRows(filter, page * kPageRows, kPageRows);
        return [self, generation, page, total = read.total, rows = PageOf(read.rows)]() mutable {
            self->received(generation, page, total, std::move(rows));
        };
    });
}

EntryListModel::Page EntryListModel::PageOf(const std::vector<ListedRow>& listed) {
    Page rows;
    for (const ListedRow& entry : listed) {
        Row& row = rows.emplace_back();
        for (const std::string& cell : MakeEntryCells(entry.text, entry.ts))
            row.cells << ToQString(cell);
        std::tie(row.member, row.item) = WrittenNames(entry.text);
    }
    return rows;
}

void EntryListModel::received(std::uint64_t generation, std::uint64_t page, std::uint64_t total, Page rows) {
    if (generation != generation_)
        return;
    // Another program changed the list since it was counted: the page's read counted it as it is now, and
    // the pages held before are of the list as it was.
    if (total != total_) {
        beginResetModel();
        total_ = total;
        pages_.clear();
        recent_.clear();
        requested_.clear();
        endResetModel();
        emit countChanged();
    }
    requested_.erase(page);
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
    reader_.run([ranges, filter = filter_, done = std::move(done)](LedgerStore& store) {
        std::string text;
        const auto& captions = EntryCaptions();
        RowWriter rows({captions.begin(), captions.end()}, TableFormat::TabSeparated, [&](std::string_view piece) {
            text.append(piece);
            return true;
        });
        for (const auto& [first, last] : ranges)
            for (const ListedRow& listed :
                 store.listRows(filter, static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last - first + 1))
                     .rows)
                rows.row(MakeEntryCells(listed.text, listed.ts));
        rows.finish();
        return [done, copied = ToQString(text)] { done(copied); };
    });
}

void EntryListModel::exportCsv(const std::string& file, std::function<void(const QString& error)> done) {
    reader_.run(
        [file, filter = filter_, done](LedgerStore& store) {
            OutputFiles outputs;
            std::string error = outputs.add(file, [&](const TextSink& sink) {
                const auto& captions = EntryCaptions();
                RowWriter rows({captions.begin(), captions.end()}, TableFormat::Csv, sink);
                ForEachEntryCells(store, filter, [&](const EntryCells& cells) { rows.row(cells); });
                return rows.finish();
            });
            if (error.empty())
                error = outputs.commit();
            return [done, error = ToQString(error)] { done(error); };
        },
        done);
}

} // namespace coffer
