// SPDX-License-Identifier: MIT
#include "ui/watch_box.h"

#include "ui/engine_text.h"
#include "ui/ledger_watch.h"
#include "ui/window_fonts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace coffer {
namespace {

constexpr int kLinesShown = 4; // the list's least height, in lines; it scrolls through the rest

QString Clock(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("none yet");
}

} // namespace

WatchChoice::WatchChoice(QWidget* parent) : QWidget(parent) {
    checkBox_ = new QCheckBox(QStringLiteral("Add this page to the ledger every"), this);
    checkBox_->setObjectName(QStringLiteral("chkWatch"));
    minutesBox_ = new QSpinBox(this);
    minutesBox_->setObjectName(QStringLiteral("spnWatchMinutes"));
    minutesBox_->setRange(LedgerWatch::kMinMinutes, LedgerWatch::kMaxMinutes);
    minutesBox_->setValue(LedgerWatch::kDefaultMinutes);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(checkBox_);
    row->addWidget(minutesBox_);
    row->addWidget(new QLabel(QStringLiteral("minutes"), this));
    row->addStretch();
}

void WatchChoice::showWatch(bool watched, int minutes) {
    const QSignalBlocker checkQuiet(checkBox_), minutesQuiet(minutesBox_);
    checkBox_->setChecked(watched);
    if (watched)
        minutesBox_->setValue(minutes);
}

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
    setVisible(watch_.watching());
    if (!watch_.watching()) {
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
                               Clock(watch_.nextFetch())));
    const QStringList& lines = watch_.lines();
    if (lines_->count() == lines.size() &&
        (lines.isEmpty() || lines_->item(lines_->count() - 1)->text() == lines.last()))
        return;
    lines_->clear();
    lines_->addItems(lines);
    lines_->scrollToBottom();
}

} // namespace coffer
