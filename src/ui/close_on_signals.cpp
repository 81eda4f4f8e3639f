// SPDX-License-Identifier: MIT
#include "ui/close_on_signals.h"

#include "shell/end_on_signals.h"

#include <QApplication>

namespace coffer {

void CloseWindowsOnSignals() {
    EndOnSignals([] {
        QCoreApplication* application = QCoreApplication::instance();
        return application != nullptr &&
               QMetaObject::invokeMethod(
                   application, [] { QApplication::closeAllWindows(); }, Qt::QueuedConnection);
    });
}

} // namespace coffer
