// SPDX-License-Identifier: MIT
#include "ui/program_icon.h"

namespace coffer {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/AAA/%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap ProgramPicture() {
    return QPixmap(QStringLiteral(":/pictures/program.png"));
}

} // namespace coffer
