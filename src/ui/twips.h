#pragma once
// Twips (1440 per inch) to pixels and back with the logical DPI of the screen a widget is on.

#include "ui/arrange_panels.h"

#include <QRect>

class QWidget;

namespace coffer {

QRect TwipsToPixels(const TwipsRect& rect, double dpiX, double dpiY);
double PixelsToTwips(int pixels, double dpi);

// Sets the widget's geometry (relative to its parent) from a rectangle in twips.
void PlaceTwips(QWidget* widget, const TwipsRect& rect);

} // namespace coffer
