// SPDX-License-Identifier: MIT
#pragma once
// The ledger's entries as a table model that holds only the rows in view and a few screens about them:
// rows are read in pages, off the window's thread, as the view comes to them; until a page arrives its
// rows show a placeholder. A million entries open, scroll and jump to their end without reading every row.

#include "ledger/entry_list.h"
#include "ui/ledger/entry_reader.h"
#include "ui/ledger/kept_rows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace coffer {

class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr std::uint64_t kPageRows = 100;
    static constexpr std::size_t kPagesKept = 8;
    // More rows than these come in at once, and the list starts anew at its top, as for a new filter.
    static constexpr std::uint64_t kMostRowsKeptAcross = 100'000;

    explicit EntryListModel(QObject* parent = nullptr);

    // The ledger to list; none ("") lists nothing.
    void setLedger(const std::string& ledger);
    const std::string& ledger() const { return ledger_; }
    void setFilter(const EntryListFilter& filter);
    const EntryListFilter& filter() const { return filter_; }
    // The order of the list (see entry_sort.h). A sort by a column is read off the window's thread and
    // taken once it is done; of a list with more rows than it takes, `sortRefused` tells, and the list
    // keeps its order of time. A sort stays through other filters and reads of the ledger, sorted anew.
    void setSort(EntrySort sort);
    // The order the rows shown are in.
    const EntrySort& sort() const { return sort_; }
    // A test's seam: the most rows a sort by a column takes.
    void setMostRowsSorted(std::uint64_t most) { mostRowsSorted_ = most; }
    // Where rows asked for stand after the ledger changed: each row's new number (none where the model
    // did not hold the row, or found it no more), and how many rows came in.
    using Kept = std::function<void(const std::vector<std::optional<int>>& rows, int added)>;
    // The ledger changed under the same filter: the rows are counted again and, where some came in, the
    // model shows the new count and `kept` hears where the rows given, by their identity, are now; the
    // pages about the first of them are read already. A list that lost rows, or in another order than the
    // ledger's own, starts anew.
    void reread(const std::vector<int>& rows, Kept kept);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Whether the count of the current filter has arrived, and whether the ledger reads through its
    // list's indexes (false: from every entry's text, slower).
    bool counted() const { return counted_; }
    bool indexed() const { return indexed_; }
    // What the rows of the filter add up to, read after the count; none until it arrives.
    const std::optional<ListTotals>& totals() const { return totals_; }
    // The rows held, whatever the count.
    std::size_t heldRows() const;
    bool holds(int row) const;
    // A row's member and item names as its element writes them, for their pages; none until it arrives.
    std::optional<std::pair<std::string, std::string>> writtenNames(int row) const;
    // The realm of the ledger's guild, for the armory's addresses.
    const std::string& realm() const { return realm_; }

    // The rows, each from its first to its last (both included), as tab-separated text with the
    // captions, handed to `done` once read.
    void copyRows(const std::vector<std::pair<int, int>>& ranges, std::function<void(const QString&)> done);
    // Writes every row of the filter as CSV to `file` (checked beforehand); `done` gets the error (of the
    // file or of the ledger), or "".
    void exportCsv(const std::string& file, std::function<void(const QString& error)> done);
    // Nothing more is read (the window is closing): an export under way stops, its file left as it was, and
    // tells nothing.
    void stopReading() { reader_.stop(); }

  signals:
    // The count of a new filter arrived, or reading failed.
    void countChanged();
    // The totals of the listed rows arrived, or were dropped with a new filter or a change of the ledger.
    void totalsChanged();
    void failed(const QString& message);
    // A page read found the list changed since it was counted (another program added to the ledger): the
    // view reads it again, keeping its place (see reread).
    void changedSinceCounted();
    // A sort by a column was refused: the message says why.
    void sortRefused(const QString& message);

  private:
    struct Row {
        QStringList cells;
        std::string member, item; // as written
        ListedRow listed;         // who it is
    };
    using Page = std::vector<Row>;

    // What the rows are read in: the filter, the order, and for a sort by a column, its list.
    struct Order {
        EntrySort sort;
        std::shared_ptr<const SortedList> sorted;
    };
    // Rows of the list with the count of the list at the moment they were read; `withTotals`, in the order of
    // time, with its totals too.
    static ListedPage ReadRows(LedgerStore& store, const EntryListFilter& filter, const Order& order,
                               std::uint64_t first, std::uint64_t count, bool withTotals = false);
    // A page, and where `totals` is given, the list's totals of the same read where the order gives them.
    static std::pair<std::uint64_t, Page> ReadPage(LedgerStore& store, const EntryListFilter& filter,
                                                   const Order& order, std::uint64_t page,
                                                   std::optional<ListTotals>* totals = nullptr);
    // Starts the list anew: of this filter, in the order wanted.
    void load(const EntryListFilter& filter);
    // Reads the totals of the list as it is now counted.
    void readTotals();
    const Row* held(int row) const;
    std::optional<RowIdentity> identityOf(int row) const; // of a row held

    void request(std::uint64_t page) const;
    // A page read with the count of the list at that moment (`total`), which the model takes.
    void received(std::uint64_t generation, std::uint64_t page, std::uint64_t total, Page rows);

    EntryReader reader_;
    std::string ledger_;
    EntryListFilter filter_;
    EntrySort wanted_; // the order asked for last, which the next read takes
    EntrySort sort_;
    std::shared_ptr<const SortedList> sorted_;
    std::uint64_t mostRowsSorted_ = kMostRowsSorted;
    std::uint64_t generation_ = 0; // of the filter: a reply of an older one is dropped
    std::uint64_t rereads_ = 0;    // only the last reread is taken in
    std::uint64_t total_ = 0;
    bool counted_ = false, indexed_ = true;
    std::optional<ListTotals> totals_;
    std::string realm_;
    std::map<std::uint64_t, Page> pages_;
    std::list<std::uint64_t> recent_;           // the pages held, the last used first
    mutable std::set<std::uint64_t> requested_; // pages asked for and not arrived
};

} // namespace coffer
