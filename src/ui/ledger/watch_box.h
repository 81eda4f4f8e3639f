// SPDX-License-Identifier: MIT
#pragma once
// What the Guild Ledger panel shows of the watch of the bank log page: the page watched, the interval,
// the last and the next fetch ("stopping…" while an add stopped by the user ends), "Stop watching" and the
// lines of the last fetches.

#include <QGroupBox>
#include <QTimer>

class QLabel;
class QListWidget;
class QPushButton;

namespace coffer {

class LedgerWatch;

class WatchBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit WatchBox(const LedgerWatch& watch, QWidget* parent = nullptr);

    QPushButton* stopButton() const { return stopButton_; }
    // The watch as it is now.
    void showWatch();
    // Whether the watch shown goes on from the last start; it is said until the watch stops.
    void setResumed(bool resumed) { resumed_ = resumed; }

  private:
    const LedgerWatch& watch_;
    bool resumed_ = false;
    QLabel* summary_;
    QPushButton* stopButton_;
    QListWidget* lines_;
    QTimer clock_; // the next fetch's time stays right as the interval is changed
};

} // namespace coffer
