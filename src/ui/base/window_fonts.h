// SPDX-License-Identifier: MIT
#pragma once
// The windows' fonts: Verdana 8.25 pt, bold for panel captions and navigation buttons.

#include <QFont>

class QGroupBox;

namespace coffer {

QFont WindowFont();
QFont BoldWindowFont();

// Makes the frame's caption bold while the controls inside keep the window font.
void BoldCaption(QGroupBox* frame);

} // namespace coffer
