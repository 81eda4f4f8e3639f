// SPDX-License-Identifier: MIT
#pragma once
// The engine's text (UTF-8 in std::string) as the window's text.

#include <QString>

#include <string>

namespace coffer {

inline QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace coffer
