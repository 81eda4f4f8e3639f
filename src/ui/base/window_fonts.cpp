// SPDX-License-Identifier: MIT
#include "ui/base/window_fonts.h"

#include <QGroupBox>

namespace coffer {

QFont WindowFont() {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setBold(false); // stated, so that controls inside a bold frame do not take its weight
    return font;
}

QFont BoldWindowFont() {
    QFont font = WindowFont();
    font.setBold(true);
    return font;
}

void BoldCaption(QGroupBox* frame) {
    for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setFont(WindowFont());
    frame->setFont(BoldWindowFont());
}

} // namespace coffer
