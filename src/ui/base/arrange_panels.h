// SPDX-License-Identifier: MIT
#pragma once
// The main window's layout in twips (1/1440 inch): a pure function from the window's outer size to
// the rectangle of every control that follows the window. Sizes are never negative: each computed
// size is the absolute value of its formula, so a window narrower than the margins gives panels as
// wide as the shortfall. Computation is in single precision; the caller rounds to pixels.

#include "ui/base/twips.h"

namespace coffer {

// Design rectangles of the controls that the layout moves or that never move.
namespace design {
inline constexpr TwipsRect kFrame5{0, 0, 2655, 6195};
inline constexpr TwipsRect kFrame1{2700, 0, 11835, 6195};
inline constexpr TwipsRect kWebBrowser1{60, 660, 7095, 2475};
inline constexpr TwipsRect kText1{120, 2040, 9495, 3315};
inline constexpr TwipsRect kListView1{60, 540, 4335, 1575};
inline constexpr TwipsRect kListView2{60, 2220, 4275, 1455};
inline constexpr TwipsRect kStatusBar1{60, 3840, 4395, 255};
inline constexpr TwipsRect kWebBrowser2{180, 1080, 3975, 3495};
inline constexpr TwipsRect kMSChart1{180, 1080, 8955, 3255};
inline constexpr float kClientWidth = 14610;
inline constexpr float kClientHeight = 6525;
} // namespace design

struct PanelLayout {
    // Frame1 to Frame4 share one rectangle, relative to the window's client area.
    TwipsRect contentPanel;
    // Relative to their panels.
    TwipsRect webBrowser1; // Frame1
    TwipsRect text1;       // Frame2
    TwipsRect listView1;   // Frame3
    TwipsRect listView2;   // Frame3
    TwipsRect statusBar1;  // Frame3; its first panel is as wide as the bar
    TwipsRect webBrowser2; // Frame4
    TwipsRect msChart1;    // Frame4
};

// `outerWidth` and `outerHeight` are the window's outer size, borders, caption and menu bar included.
PanelLayout ArrangePanels(float outerWidth, float outerHeight);

} // namespace coffer
