// SPDX-License-Identifier: MIT
#include "ui/stats/stats_panel.h"

#include "analysis/tables/transaction_totals.h"
#include "ui/base/arrange_panels.h"
#include "ui/base/twips.h"
#include "ui/base/window_fonts.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_table_model.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <algorithm>

namespace coffer {
namespace {

const QString kItemSearchCaption = QStringLiteral("Find item or name:");

// The list takes its place below the search row.
void PlaceBelow(QWidget* row, QWidget* list, const TwipsRect& place) {
    const QRect whole = TwipsToPixels(place, list->logicalDpiX(), list->logicalDpiY());
    const int height = std::min(row->sizeHint().height(), whole.height());
    row->setGeometry(whole.left(), whole.top(), whole.width(), height);
    list->setGeometry(whole.left(), whole.top() + height, whole.width(), whole.height() - height);
}

} // namespace

StatsPanel::StatsPanel(StatsTableModel* members, StatsTableModel* items, const QString& itemDatabaseDomain,
                       QWidget* parent)
    : QGroupBox(QStringLiteral("Bank Stats"), parent), members_(members), items_(items) {
    setObjectName(QStringLiteral("Frame3"));
    auto* label7 = new QLabel(QStringLiteral("Double-click a name to launch its armory page or an item to launch its "
                                             "%1 page.")
                                  .arg(itemDatabaseDomain),
                              this);
    NameAndPlace(label7, "Label7", {120, 240, 8955, 255});
    memberList_ = new StatsListView(members, this);
    memberList_->setObjectName(QStringLiteral("ListView1"));
    itemList_ = new StatsListView(items, this);
    itemList_->setObjectName(QStringLiteral("ListView2"));
    memberSearchRow_ = makeSearchRow("txtFindMember", QStringLiteral("Find character:"), &memberSearch_, nullptr);
    itemSearchRow_ = makeSearchRow("txtFindItem", kItemSearchCaption, &itemSearch_, &itemSearchCaption_);
    connect(memberSearch_, &QLineEdit::textEdited, this, &StatsPanel::searchMembers);
    connect(itemSearch_, &QLineEdit::textEdited, this, &StatsPanel::searchItems);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &StatsPanel::focusSearch);

    auto* memberItems = new QAction(QStringLiteral("Show this member's items"), memberList_);
    memberItems->setObjectName(QStringLiteral("mnuMemberItems"));
    connect(memberItems, &QAction::triggered, this, [this] {
        if (const auto row = memberList_->selectedRow())
            showMemberItems(members_->index(*row, kCharacter).data().toString());
    });
    memberList_->addAction(memberItems);
    const auto addEntriesAction = [this](StatsListView* list, const QString& caption, const char* name, int column) {
        auto* action = new QAction(caption, list);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, list, column] {
            if (const auto row = list->selectedRow())
                emit entriesWanted(list == memberList_, list->model()->index(*row, column).data().toString());
        });
        list->addAction(action);
        list->setContextMenuPolicy(Qt::ActionsContextMenu); // a right-click selects the row first
    };
    addEntriesAction(memberList_, QStringLiteral("Show this member's entries"), "mnuMemberEntries", kCharacter);
    addEntriesAction(itemList_, QStringLiteral("Show this item's entries"), "mnuItemEntries", kItem);

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setSizeGripEnabled(false);
    statusText_ = new QLabel(statusBar_);
    statusText_->setObjectName(QStringLiteral("StatusBar1Panel1"));
    statusBar_->addWidget(statusText_, 1);
    progress_ = new QProgressBar(statusBar_);
    progress_->setObjectName(QStringLiteral("progressAnalysis"));
    progress_->setRange(0, 0); // an import's length is not known ahead: a busy indicator
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(160);
    progress_->hide();
    statusBar_->addPermanentWidget(progress_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), statusBar_);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    cancel_->setFocusPolicy(Qt::NoFocus); // the keyboard stays where the user works while a run goes on
    cancel_->hide();
    statusBar_->addPermanentWidget(cancel_);
    BoldCaption(this);
}

void StatsPanel::showStatus(const QString& text) {
    statusText_->setText(text);
}

QString StatsPanel::statusText() const {
    return statusText_->text();
}

void StatsPanel::showBusy(bool busy) {
    progress_->setVisible(busy);
}

QWidget* StatsPanel::makeSearchRow(const char* name, const QString& caption, QLineEdit** box, QLabel** label) {
    auto* row = new QWidget(this);
    auto* text = new QLabel(caption, row);
    text->setObjectName(QString::fromLatin1(name).replace(QLatin1String("txt"), QLatin1String("lbl")));
    *box = new QLineEdit(row);
    (*box)->setObjectName(QString::fromLatin1(name));
    (*box)->setClearButtonEnabled(true);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->addWidget(text);
    layout->addWidget(*box, 1);
    if (label != nullptr)
        *label = text;
    return row;
}

void StatsPanel::searchMembers(const QString& text) {
    members_->setFilter({text.toStdString(), {kCharacter}});
}

void StatsPanel::searchItems(const QString& text) {
    itemSearchCaption_->setText(kItemSearchCaption);
    items_->setFilter({text.toStdString(), {kItem, kItemMember}});
}

void StatsPanel::showMemberItems(const QString& member) {
    itemSearchCaption_->setText(QStringLiteral("Items of member:"));
    itemSearch_->setText(member);
    items_->setFilter({member.toStdString(), {kItemMember}, true});
    itemList_->scrollToTop();
    itemList_->setFocus();
}

// Ctrl+F goes to the item search while the item list or its search has the focus, else to the member search.
void StatsPanel::focusSearch() {
    QLineEdit* box = itemList_->hasFocus() || itemSearch_->hasFocus() ? itemSearch_ : memberSearch_;
    box->setFocus(Qt::ShortcutFocusReason);
    box->selectAll();
}

void StatsPanel::showRunProgress(bool running) {
    progress_->setRange(0, running ? 100 : 0); // otherwise the length of the work is not known ahead
    if (running)
        progress_->setValue(0);
    progress_->setTextVisible(running);
    cancel_->setVisible(running);
}

void StatsPanel::showProgress(int percent) {
    progress_->setValue(percent);
}

void StatsPanel::hideRunProgress() {
    showRunProgress(false);
    showBusy(false);
    statusBar_->repaint();
}

void StatsPanel::place(const PanelLayout& layout) {
    PlaceBelow(memberSearchRow_, memberList_, layout.listView1);
    PlaceBelow(itemSearchRow_, itemList_, layout.listView2);
    PlaceTwips(statusBar_, layout.statusBar1);
}

} // namespace coffer
