#include "ui/charts/chart_services.h"

#include "shell/product_config.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>

namespace coffer {
namespace {

std::unique_ptr<QPrinter> DefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

QString AskImageFileName(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Save Chart"), QString(), QObject::tr("PNG image (*.png)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Lets the dialog add the suffix before it asks about overwriting an existing file.
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QString::fromStdString(LoadProductConfig().programName), text);
}

} // namespace

ChartServices SystemChartServices() {
    return {DefaultPrinter, AskImageFileName, ShowMessage};
}

} // namespace coffer
