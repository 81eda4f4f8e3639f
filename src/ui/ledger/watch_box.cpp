// SPDX-License-Identifier: MIT
#include "ui/ledger/watch_box.h"

#include "ui/base/engine_text.h"
#include "ui/base/window_fonts.h"
#include "ui/ledger/ledger_watch.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace coffer {
namespace {

constexpr int kLinesShown = 4; // the list's least height, in lines; it scrolls through the rest

QString Clock(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("none yet");
}

} // namespace

WatchBox::WatchBox(const LedgerWatch& watch, QWidget* parent)
    : QGroupBox(QStringLiteral("Watching the bank log page"), parent), watch_(watch) {
    setObjectName(QStringLiteral("fraWatch"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblWatch"));
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stopButton_ = new QPushButton(QStringLiteral("Stop watching"), this);
    stopButton_->setObjectName(QStringLiteral("cmdStopWatching"));
    lines_ = new QListWidget(this);
    lines_->setObjectName(QStringLiteral("lstWatchLines"));
    lines_->setMinimumHeight(lines_->fontMetrics().lineSpacing() * kLinesShown + 2 * lines_->frameWidth());
    auto* top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    top->addWidget(stopButton_, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(lines_);
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &WatchBox::showWatch);
    BoldCaption(this);
    hide();
}

void WatchBox::showWatch() {
    // Stopped during its add, the watch is shown stopping until the add has ended.
    const bool stopping = watch_.stopping();
    const bool shown = watch_.watching() || stopping;
    setVisible(shown);
    stopButton_->setEnabled(!stopping);
    if (!shown) {
        resumed_ = false;
        clock_.stop();
        return;
    }
    clock_.start();
    const QString every = watch_.minutes() == 1 ? QStringLiteral("every minute")
                                                : QStringLiteral("every %1 minutes").arg(watch_.minutes());
    summary_->setText(QStringLiteral("%1Adding %2 to the ledger %3.\nLast fetch: %4     Next fetch: %5")
                          .arg(resumed_ ? QStringLiteral("Resumed from the last start. ") : QString(),
                               ToQString(watch_.shownAddress()), every, Clock(watch_.lastFetch()),
                               stopping ? QStringLiteral("stopping…") : Clock(watch_.nextFetch())));
    const QStringList& lines = watch_.lines();
    if (lines_->count() == lines.size() &&
        (lines.isEmpty() || lines_->item(lines_->count() - 1)->text() == lines.last()))
        return;
    lines_->clear();
    lines_->addItems(lines);
    lines_->scrollToBottom();
}

} // namespace coffer
