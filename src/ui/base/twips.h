// SPDX-License-Identifier: MIT
#pragma once
// Twips (1440 per inch) to pixels and back with the logical DPI of the screen a widget is on.

#include <QRect>

class QWidget;

namespace coffer {

// A rectangle in twips, as the designed forms placed their controls.
struct TwipsRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

int TwipsToPixels(float twips, double dpi);
QRect TwipsToPixels(const TwipsRect& rect, double dpiX, double dpiY);
double PixelsToTwips(int pixels, double dpi);

// Sets the widget's geometry (relative to its parent) from a rectangle in twips.
void PlaceTwips(QWidget* widget, const TwipsRect& rect);

// Names a new control as the designed form did (tests and the settings find it by that name) and
// places it; gives the control back.
void NameAndPlace(QWidget* widget, const char* name, const TwipsRect& rect);
template <typename Widget> Widget* Placed(Widget* widget, const char* name, const TwipsRect& rect) {
    NameAndPlace(widget, name, rect);
    return widget;
}

} // namespace coffer
