#include "ui/stats_panel.h"

#include "ui/stats_list_view.h"
#include "ui/twips.h"
#include "ui/window_fonts.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace coffer {

StatsPanel::StatsPanel(StatsTableModel* members, StatsTableModel* items, const QString& itemDatabaseDomain,
                       QWidget* parent)
    : QGroupBox(QStringLiteral("Bank Stats"), parent) {
    setObjectName(QStringLiteral("Frame3"));
    auto* label7 = new QLabel(QStringLiteral("Double-click a name to launch its armory page or an item to launch its "
                                             "%1 page.")
                                  .arg(itemDatabaseDomain),
                              this);
    label7->setObjectName(QStringLiteral("Label7"));
    PlaceTwips(label7, {120, 240, 8955, 255});
    listView1_ = new StatsListView(members, this);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView2_ = new StatsListView(items, this);
    listView2_->setObjectName(QStringLiteral("ListView2"));

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1_->setSizeGripEnabled(false);
    statusText_ = new QLabel(statusBar1_);
    statusText_->setObjectName(QStringLiteral("StatusBar1Panel1"));
    statusBar1_->addWidget(statusText_, 1);
    progress_ = new QProgressBar(statusBar1_);
    progress_->setObjectName(QStringLiteral("progressAnalysis"));
    progress_->setRange(0, 0); // the run's length is not known ahead: a busy indicator
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(160);
    progress_->hide();
    statusBar1_->addPermanentWidget(progress_);
    BoldCaption(this);
}

void StatsPanel::showStatus(const QString& text) { statusText_->setText(text); }

void StatsPanel::showBusy(bool busy) { progress_->setVisible(busy); }

void StatsPanel::place(const PanelLayout& layout) {
    PlaceTwips(listView1_, layout.listView1);
    PlaceTwips(listView2_, layout.listView2);
    PlaceTwips(statusBar1_, layout.statusBar1);
}

} // namespace coffer
