// SPDX-License-Identifier: MIT
#include "ui/splash_window.h"

#include "ui/program_icon.h"

#include <QLabel>
#include <QVBoxLayout>

namespace coffer {
namespace {

constexpr int kTickMs = 2;
constexpr int kStep = 2;
constexpr int kOpenAt = 150;

} // namespace

SplashWindow::SplashWindow(std::function<void()> openMainWindow, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), openMainWindow_(std::move(openMainWindow)) {
    setObjectName(QStringLiteral("frmSplash"));
    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(ProgramPicture());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image1);

    openTimer_.setInterval(kTickMs);
    connect(&openTimer_, &QTimer::timeout, this, &SplashWindow::openWhenDue);
    openTimer_.start();
}

void SplashWindow::openWhenDue() {
    counter_ += kStep;
    if (counter_ < kOpenAt)
        return;
    openTimer_.stop();
    openMainWindow_();
    hide();
}

} // namespace coffer
