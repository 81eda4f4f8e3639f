// SPDX-License-Identifier: MIT
#pragma once
// A control with its Qt object name, given where it is made: the tests find controls by these names.

#include <QString>

namespace coffer {

template <typename Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace coffer
