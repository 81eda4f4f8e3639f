// SPDX-License-Identifier: MIT
#pragma once
// The program's pictures from its resources: the window icon "AAA" (several sizes) and the picture
// of the splash and About windows.

#include <QIcon>
#include <QPixmap>

namespace coffer {

QIcon ProgramIcon();
QPixmap ProgramPicture();

} // namespace coffer
