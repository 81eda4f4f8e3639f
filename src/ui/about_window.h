// SPDX-License-Identifier: MIT
#pragma once
// frmAbout: the program's name, version (major.minor), owner and web site, which opens when clicked,
// and a Close button.

#include "shell/product_config.h"

#include <QWidget>

namespace coffer {

class LinkLauncher;

class AboutWindow : public QWidget {
    Q_OBJECT
  public:
    AboutWindow(const ProductConfig& product, LinkLauncher& launcher, QWidget* parent = nullptr);
};

// The main window's About window: opened centred on the main window, or raised when it is open already.
void ShowAboutWindow(const ProductConfig& product, LinkLauncher& launcher, QWidget* mainWindow);

} // namespace coffer
