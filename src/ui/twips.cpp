#include "ui/twips.h"

#include <QWidget>
#include <cmath>

namespace coffer {
namespace {

constexpr double kTwipsPerInch = 1440.0;

int ToPixels(float twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch)); }

} // namespace

QRect TwipsToPixels(const TwipsRect& rect, double dpiX, double dpiY) {
    return {ToPixels(rect.left, dpiX), ToPixels(rect.top, dpiY), ToPixels(rect.width, dpiX),
            ToPixels(rect.height, dpiY)};
}

double PixelsToTwips(int pixels, double dpi) { return pixels * kTwipsPerInch / dpi; }

void PlaceTwips(QWidget* widget, const TwipsRect& rect) {
    widget->setGeometry(TwipsToPixels(rect, widget->logicalDpiX(), widget->logicalDpiY()));
}

} // namespace coffer
