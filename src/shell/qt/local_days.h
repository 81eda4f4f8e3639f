// SPDX-License-Identifier: MIT
#pragma once
// A day the user names (a date box, a command-line option), as the engine's period takes it and as the
// report states it. Header-only: both users link Qt Core, the shell library does not.

#include "analysis/tables/entry_selection.h"

#include <QDate>
#include <QLocale>
#include <string>

namespace coffer {

inline LocalDate ToLocalDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

// The locale's short format, as the window shows dates, but with the year in four digits: a period of
// "01.01.00" would not say which century.
inline std::string ShortDate(const QDate& date) {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return QLocale().toString(date, format).toStdString();
}

} // namespace coffer
