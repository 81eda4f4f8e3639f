// SPDX-License-Identifier: MIT
#pragma once
// The chart on paper and in an image file.

#include <QDate>
#include <QPrinter>
#include <QString>

#include <memory>

class QWidget;

namespace coffer {

// The system's default printer, printing without a dialog; null when the system has none.
std::unique_ptr<QPrinter> DefaultPrinter();

// Prints the widget's pixels as the screen shows them on one landscape page: the picture's top-left
// corner at the page's top-left corner, as large as it is on the screen. False when the printer
// cannot be opened or the print fails.
bool PrintWidgetPicture(QWidget& widget, QPrinter& printer);

// The name suggested for a picture of the chart titled `title` on `day`: "Deposits 2008-12-24.png"
// (a "/" of the title, which no file name can hold, as "-").
QString ChartFileName(const QString& title, const QDate& day);

// The name an image is saved under: ".png" is appended unless the name already ends in it (any case).
QString WithPngSuffix(const QString& fileName);

} // namespace coffer
