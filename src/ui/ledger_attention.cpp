// SPDX-License-Identifier: MIT
#include "ui/ledger_attention.h"

#include <QPushButton>
#include <QStringList>

namespace coffer {

void LedgerAttention::setWatchFailure(const QString& failure) {
    failure_ = failure;
    show();
}

void LedgerAttention::setUnseenAlerts(const QString& alerts) {
    alerts_ = alerts;
    show();
}

void LedgerAttention::show() {
    QStringList reasons;
    for (const QString& reason : {alerts_, failure_})
        if (!reason.isEmpty())
            reasons << reason;
    button_.setText(reasons.isEmpty() ? QStringLiteral("Guild Ledger") : QStringLiteral("Guild Ledger (!)"));
    button_.setToolTip(reasons.join(u'\n'));
}

} // namespace coffer
