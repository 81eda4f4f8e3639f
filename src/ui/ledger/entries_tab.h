// SPDX-License-Identifier: MIT
#pragma once
// The Guild Ledger panel's tab "Entries": the ledger's entries, newest first, under a search box (Ctrl+F),
// a removable "Member: NAME" or "Item: NAME" filter and the Action choice, with the number of matching
// rows and every filter that selects them under the list: what an export writes. A click on the header
// of Time reverses the order; one on Member, Item, Count or Gold sorts the list by that column, and again
// the other way round. A double-click on a member or an item asks for its page; Ctrl+C copies the
// selected rows as tab-separated text with the captions.

#include "ledger/entry_list.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace coffer {

class EntryListModel;

class EntriesTab : public QWidget {
    Q_OBJECT
  public:
    explicit EntriesTab(QWidget* parent = nullptr);

    EntryListModel* model() const { return model_; }
    QPushButton* exportButton() const { return exportButton_; }

    // The ledger to list (its path as it is opened; "" for none). The same ledger again, read after a
    // change, keeps the list's place: the row at the top of the view and the selected rows, by their
    // identity; only the count and the rows that came in change.
    void setLedger(const std::string& ledger);
    // The period of the ledger panel's choice, the list's only one.
    void setPeriod(const std::optional<TimeRange>& period);
    // Only the entries of the member, as the member table counts them, or of the item of exactly this
    // decoded name; the search box stays as it is. Removing its filter gives back the one before it.
    void showExactly(bool member, const std::string& name);
    void focusSearch();
    // The text the list copies of its selected rows, once read; what Ctrl+C puts on the clipboard.
    void copySelection();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    // A double-click on a member's or an item's cell: its name as the entry writes it.
    void memberPageWanted(const std::string& writtenName);
    void itemPageWanted(const std::string& writtenName);
    // What the window's status bar says: why the list was not sorted.
    void statusWanted(const QString& text);

  private:
    void applyFilter();
    void showCount();
    void showTotals();
    void sortBy(int column); // a click on a column's header
    void showSort();         // the header's mark, as the list is sorted
    void keepPlace();        // as the list is read again after a change of the ledger

    EntryListModel* model_;
    QLineEdit* searchBox_;
    QPushButton* exactFilter_;
    QComboBox* actionChoice_;
    QPushButton* exportButton_;
    QTableView* view_;
    QLabel* countLabel_;
    QLabel* totalsLabel_; // what the listed rows add up to
    std::optional<TimeRange> period_;
    // The member's or the item's name of the removable filter, and the filters it took the place of.
    struct ExactName {
        bool member = true;
        std::string name;
        bool operator==(const ExactName&) const = default;
    };
    std::optional<ExactName> exact_;
    std::vector<std::optional<ExactName>> earlier_;
};

} // namespace coffer
