// SPDX-License-Identifier: MIT
#pragma once
// What the window shows of the watch of the bank log page: the choice beside "Add this page to the bank
// log" in the Browser panel ("Add this page to the ledger every" so many minutes), and the box in the
// Guild Ledger panel with the page watched, the interval, the last and the next fetch, "Stop watching"
// and the lines of the last fetches.

#include <QGroupBox>
#include <QTimer>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace coffer {

class LedgerWatch;

class WatchChoice : public QWidget {
    Q_OBJECT
  public:
    explicit WatchChoice(QWidget* parent = nullptr);

    QCheckBox* checkBox() const { return checkBox_; }
    QSpinBox* minutesBox() const { return minutesBox_; }
    // Checked when the page shown is the one watched; the interval is the watch's while it is on.
    void showWatch(bool watched, int minutes);

  private:
    QCheckBox* checkBox_;
    QSpinBox* minutesBox_;
};

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
