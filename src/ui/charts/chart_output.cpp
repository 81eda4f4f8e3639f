// SPDX-License-Identifier: MIT
#include "ui/charts/chart_output.h"

#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

namespace coffer {

std::unique_ptr<QPrinter> DefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

bool PrintWidgetPicture(QWidget& widget, QPrinter& printer) {
    const QPixmap picture = widget.grab();
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Painter units are printer dots; scale by the two resolutions so the print keeps the screen size.
    const QSizeF screenSize = picture.deviceIndependentSize();
    const QSizeF printedSize(screenSize.width() * printer.resolution() / widget.logicalDpiX(),
                             screenSize.height() * printer.resolution() / widget.logicalDpiY());
    painter.drawPixmap(QRectF(QPointF(0, 0), printedSize), picture, QRectF(picture.rect()));
    return painter.end() && printer.printerState() != QPrinter::Error;
}

QString ChartFileName(const QString& title, const QDate& day) {
    return QString(title).replace(u'/', u'-') + u' ' + day.toString(Qt::ISODate) + QStringLiteral(".png");
}

QString WithPngSuffix(const QString& fileName) {
    if (fileName.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        return fileName;
    return fileName + QStringLiteral(".png");
}

} // namespace coffer
