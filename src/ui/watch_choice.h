// SPDX-License-Identifier: MIT
#pragma once
// The Browser panel's choice beside "Add this page to the bank log": "Add this page to the ledger every"
// so many minutes.

#include <QWidget>

class QCheckBox;
class QSpinBox;

namespace coffer {

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

} // namespace coffer
