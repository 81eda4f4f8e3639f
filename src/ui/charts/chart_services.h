#pragma once
// What the chart panel asks of the user and of the system. The window passes the real ones; tests
// pass their own, answered in advance, so no dialog or printer is ever needed to drive the panel.

#include <QString>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace coffer {

struct ChartServices {
    // The system's default printer, ready to print on; null when there is none.
    std::function<std::unique_ptr<QPrinter>()> defaultPrinter;
    // Asks where to save the chart as an image; empty when the user cancels.
    std::function<QString(QWidget* parent)> askImageFileName;
    // A modal message box with the program's title.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
};

// The default printer without a print dialog, a save file dialog for PNG images, a warning box.
ChartServices SystemChartServices();

} // namespace coffer
