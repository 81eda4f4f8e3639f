// SPDX-License-Identifier: MIT
#include "ui/close_on_signals.h"

#include "shell/end_on_signals.h"

#include <QApplication>
#include <QScopedValueRollback>

namespace coffer {
namespace {

bool closingOnSignal = false; // on the window's thread only

void CloseForSignal() {
    const QScopedValueRollback closing(closingOnSignal, true);
    QApplication::closeAllWindows();
}

} // namespace

void CloseWindowsOnSignals() {
    EndOnSignals([] {
        QCoreApplication* application = QCoreApplication::instance();
        return application != nullptr && QMetaObject::invokeMethod(application, &CloseForSignal, Qt::QueuedConnection);
    });
}

bool ClosingOnSignal() {
    return closingOnSignal;
}

} // namespace coffer
