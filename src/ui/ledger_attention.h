// SPDX-License-Identifier: MIT
#pragma once
// "Guild Ledger (!)" on the navigation's button while the ledger wants the officer's eye: the watch has
// failed again and again, or alerts have fired that "Rules and alerts" has not shown yet. The tooltip
// names each of them.

#include <QString>

class QPushButton;

namespace coffer {

class LedgerAttention {
  public:
    explicit LedgerAttention(QPushButton& button) : button_(button) {}

    // The watch's last failure while it keeps failing; "" once it does not.
    void setWatchFailure(const QString& failure);
    // What the alerts not yet seen are ("2 new alerts, the newest: …"); "" once the tab has shown them.
    void setUnseenAlerts(const QString& alerts);
    bool unseenAlerts() const { return !alerts_.isEmpty(); }

  private:
    void show();

    QPushButton& button_;
    QString failure_;
    QString alerts_;
};

} // namespace coffer
