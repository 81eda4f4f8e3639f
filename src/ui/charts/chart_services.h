#pragma once
// What the chart panel asks of the user and of the system. The main window passes the real ones;
// tests pass their own, answered in advance, so no dialog or printer is needed to drive the panel.

#include "analysis/stats_table.h"

#include <QPrinter>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace coffer {

// Runs a sort on the member table in such a way that the lists showing the table hear of the new order.
using MemberTableSort = std::function<void(const std::function<void(StatsTable&)>& sort)>;

struct ChartServices {
    // The system's default printer, ready to print on; null when there is none.
    std::function<std::unique_ptr<QPrinter>()> defaultPrinter;
    // Asks where to save the chart as a PNG image; empty when the user cancels. The dialog itself
    // does not ask about overwriting.
    std::function<QString(QWidget* parent)> askImageFileName;
    // A question with OK and Cancel; true for OK.
    std::function<bool(QWidget* parent, const QString& text)> confirm;
    // A message with an OK button.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
};

} // namespace coffer
