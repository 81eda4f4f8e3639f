// SPDX-License-Identifier: MIT
#include "ui/base/twips.h"

#include <QWidget>
#include <cmath>

namespace coffer {
namespace {

constexpr double kTwipsPerInch = 1440.0;

} // namespace

int TwipsToPixels(float twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

QRect TwipsToPixels(const TwipsRect& rect, double dpiX, double dpiY) {
    return {TwipsToPixels(rect.left, dpiX), TwipsToPixels(rect.top, dpiY), TwipsToPixels(rect.width, dpiX),
            TwipsToPixels(rect.height, dpiY)};
}

double PixelsToTwips(int pixels, double dpi) {
    return pixels * kTwipsPerInch / dpi;
}

void PlaceTwips(QWidget* widget, const TwipsRect& rect) {
    widget->setGeometry(TwipsToPixels(rect, widget->logicalDpiX(), widget->logicalDpiY()));
}

void NameAndPlace(QWidget* widget, const char* name, const TwipsRect& rect) {
    widget->setObjectName(QString::fromLatin1(name));
    PlaceTwips(widget, rect);
}

} // namespace coffer
