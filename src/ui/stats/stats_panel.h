// SPDX-License-Identifier: MIT
#pragma once
// Frame3, the Bank Stats panel: the member list ListView1, the item list ListView2 and the status bar
// StatusBar1, whose first panel shows the analysis's status texts beside a progress indicator. Each
// list has a search row in a slim strip taken from the top of the list's place: typing filters the
// list (Ctrl+F goes to the search of the list in use), and the member list's context menu shows the
// items of one member.

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace coffer {

class StatsListView;
class StatsTableModel;
struct PanelLayout;

class StatsPanel : public QGroupBox {
    Q_OBJECT
  public:
    StatsPanel(StatsTableModel* members, StatsTableModel* items, const QString& itemDatabaseDomain,
               QWidget* parent = nullptr);

    StatsListView* memberList() const { return memberList_; }
    StatsListView* itemList() const { return itemList_; }

    void showStatus(const QString& text);
    QString statusText() const;
    // The indicator runs while work is in progress.
    void showBusy(bool busy);
    // While an analysis runs the indicator shows the share of the run done, beside "Cancel".
    void showRunProgress(bool running);
    void showProgress(int percent);
    // The run's indicator and its Cancel leave the status bar, which is painted at once: what follows
    // may keep the window from painting for a moment.
    void hideRunProgress();
    QPushButton* cancelButton() const { return cancel_; }
    void place(const PanelLayout& layout);
    // The item list filtered to the rows of one member (its Name column); clearing the item search
    // shows every row again.
    void showMemberItems(const QString& member);

  signals:
    // "Show this member's entries" or "Show this item's entries": the name as the list shows it.
    void entriesWanted(bool member, const QString& name);

  private:
    QWidget* makeSearchRow(const char* name, const QString& caption, QLineEdit** box, QLabel** label);
    void searchMembers(const QString& text);
    void searchItems(const QString& text);
    void focusSearch();

    StatsTableModel* members_;
    StatsTableModel* items_;
    StatsListView* memberList_;
    StatsListView* itemList_;
    QStatusBar* statusBar_;
    QLabel* statusText_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QWidget* memberSearchRow_;
    QWidget* itemSearchRow_;
    QLineEdit* memberSearch_;
    QLineEdit* itemSearch_;
    QLabel* itemSearchCaption_;
};

} // namespace coffer
