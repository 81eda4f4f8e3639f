// SPDX-License-Identifier: MIT
#pragma once
// frmSplash, the program's first window: shows the program's picture and, after 75 ticks of its
// 2 ms timer (a counter that reaches 150 in steps of 2), opens the main window once and hides. It stays
// loaded, hidden, until the program ends.

#include <QTimer>
#include <QWidget>
#include <functional>

namespace coffer {

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    // `openMainWindow` loads and shows the main window.
    explicit SplashWindow(std::function<void()> openMainWindow, QWidget* parent = nullptr);

    int counter() const { return counter_; }

  private:
    void openWhenDue();

    std::function<void()> openMainWindow_;
    QTimer openTimer_;
    int counter_ = 0;
};

} // namespace coffer
