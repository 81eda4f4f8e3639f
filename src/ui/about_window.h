#pragma once
// frmAbout: the program's name, version (major.minor), owner and web site, which opens when clicked.

#include "shell/product_config.h"

#include <QWidget>

namespace coffer {

class LinkLauncher;

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    AboutWindow(const ProductConfig& product, LinkLauncher& launcher, QWidget* parent = nullptr);
};

} // namespace coffer
