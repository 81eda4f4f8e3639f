// SPDX-License-Identifier: MIT
#pragma once
// The report settings every benchmark writes its report with: the defaults, and fixed addresses and date
// so that runs compare.

#include "report/html_report.h"

namespace coffer::bench {

inline ReportSettings BenchReportSettings() {
    return {.playersPerSection = 10,
            .itemsPerSection = 25,
            .armoryBase = "http://armory.example",
            .itemDatabaseBase = "http://www.lorehold.example",
            .programName = "Coffer",
            .website = "coffer.example",
            .createdOn = "today"};
}

} // namespace coffer::bench
