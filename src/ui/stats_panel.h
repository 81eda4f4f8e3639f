#pragma once
// Frame3, the Bank Stats panel: the member list ListView1, the item list ListView2 and the status bar
// StatusBar1, whose first panel shows the analysis's status texts beside a progress indicator.

#include <QGroupBox>

class QLabel;
class QProgressBar;
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

    StatsListView* memberList() const { return listView1_; }
    StatsListView* itemList() const { return listView2_; }

    void showStatus(const QString& text);
    // The indicator runs while work is in progress.
    void showBusy(bool busy);
    void place(const PanelLayout& layout);

private:
    StatsListView* listView1_;
    StatsListView* listView2_;
    QStatusBar* statusBar1_;
    QLabel* statusText_;
    QProgressBar* progress_;
};

} // namespace coffer
