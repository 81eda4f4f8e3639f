#pragma once
// Twips (1440 per inch) to pixels and back with the logical DPI of the screen a widget is on.

#include "ui/arrange_panels.h"

#include <QRect>

class QWidget;

namespace coffer {

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
