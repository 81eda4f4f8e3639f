// SPDX-License-Identifier: MIT
#include "ui/about_window.h"

#include "ui/base/window_fonts.h"
#include "ui/link_launcher.h"
#include "ui/program_icon.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <functional>

namespace coffer {
namespace {

// The licence as the LICENSE file beside the sources grants it, with that file's copyright line.
constexpr const char* kRights =
    "This software is free software under the MIT License. Copyright (c) 2026 Coffer Project. Anyone may use, "
    "copy, change, merge, publish, distribute, sublicense and sell copies of it, provided the copyright line and "
    "the licence's text go with every copy. It comes without warranty of any kind. The game's names and marks "
    "belong to their respective holders.";

// A label that runs an action when clicked, as a link does.
class ClickableLabel : public QLabel {
  public:
    ClickableLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick)) {}

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
    }

  private:
    std::function<void()> onClick_;
};

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

AboutWindow::AboutWindow(const ProductConfig& product, LinkLauncher& launcher, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmAbout"));
    setFont(WindowFont());
    const QString name = QString::fromStdString(product.programName);
    setWindowTitle(QStringLiteral("About ") + name);

    auto* picture1 = NamedLabel("Picture1", {}, this);
    picture1->setPixmap(ProgramPicture().scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    QLabel* label1 = NamedLabel("Label1", name, this);
    QFont titleFont = BoldWindowFont();
    titleFont.setPointSizeF(14);
    label1->setFont(titleFont);

    auto* website = new ClickableLabel(
        QString::fromStdString(product.website), [&launcher] { launcher.request(QStringLiteral("Website")); }, this);
    website->setObjectName(QStringLiteral("lblWebsite"));
    website->setCursor(Qt::PointingHandCursor);
    website->setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
    QLabel* rights = NamedLabel("Label5", QString::fromLatin1(kRights), this);
    rights->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture1, 0, 0, 5, 1, Qt::AlignTop);
    grid->addWidget(label1, 0, 1, 1, 2);
    grid->addWidget(NamedLabel("Label2", QStringLiteral("Version:"), this), 1, 1);
    grid->addWidget(NamedLabel("lblVersion", QString::fromStdString(product.versionText()), this), 1, 2);
    grid->addWidget(NamedLabel("Label3", QStringLiteral("Owned By:"), this), 2, 1);
    grid->addWidget(NamedLabel("lblCompany", QString::fromStdString(product.companyName), this), 2, 2);
    grid->addWidget(NamedLabel("Label4", QStringLiteral("Website:"), this), 3, 1);
    grid->addWidget(website, 3, 2);
    grid->addWidget(rights, 5, 0, 1, 3);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    grid->addWidget(close, 6, 2, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
    grid->setHorizontalSpacing(12);
    setFixedWidth(440);
}

void ShowAboutWindow(const ProductConfig& product, LinkLauncher& launcher, QWidget* mainWindow) {
    // Closing only hides the window, so that the one instance is found again.
    auto* about = mainWindow->findChild<AboutWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (about == nullptr)
        about = new AboutWindow(product, launcher, mainWindow);
    if (!about->isVisible()) {
        // The frames are not known before the window shows; both windows have the same kind.
        about->adjustSize();
        QRect placed = about->geometry();
        placed.moveCenter(mainWindow->geometry().center());
        about->setGeometry(placed);
    }
    about->setWindowState(about->windowState() & ~Qt::WindowMinimized);
    about->show();
    about->raise();
    about->activateWindow();
}

} // namespace coffer
