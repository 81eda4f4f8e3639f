#pragma once
// A day the user names (a date box, a command-line option), as the engine's period takes it and as the
// report states it. Header-only: both users link Qt Core, the shell library does not.

#include "analysis/entry_selection.h"

#include <QDate>
#include <QLocale>
#include <string>

namespace coffer {

inline LocalDate ToLocalDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

// The locale's short format, as the window shows dates.
inline std::string ShortDate(const QDate& date) {
    return QLocale().toString(date, QLocale::ShortFormat).toStdString();
}

} // namespace coffer
