// SPDX-License-Identifier: MIT
#include "ui/watch_choice.h"

#include "ui/ledger/ledger_watch.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace coffer {

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

} // namespace coffer
