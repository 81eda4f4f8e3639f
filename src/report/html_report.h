// SPDX-License-Identifier: MIT
#pragma once
// The HTML report: five bank balances and twenty ranked sections over the statistics tables.

#include "analysis/analysis_run.h"

#include <string>
#include <string_view>

namespace coffer {

// The section limits a report has until the user picks others.
inline constexpr int kDefaultPlayersPerSection = 10;
inline constexpr int kDefaultItemsPerSection = 25;

struct ReportSettings {
    int playersPerSection = kDefaultPlayersPerSection;
    int itemsPerSection = kDefaultItemsPerSection;
    std::string armoryBase;       // "http://armory.example"
    std::string itemDatabaseBase; // "http://www.lorehold.example"
    std::string programName;
    std::string website;   // host name; the report puts "http://www." in front
    std::string createdOn; // local date and time as the report states it
    // The chosen period's first and last day as the user reads dates; both empty: no period line. An
    // empty one leaves that side open. Initialised, so that settings written without them need not name them.
    std::string periodFrom = {};
    std::string periodTo = {};
};

// The section limits a report accepts.
inline constexpr int kMinSectionLimit = 0;
inline constexpr int kMaxSectionLimit = 32767;

// A section limit as typed into its selector: a whole number (rounded, halves to even) from
// kMinSectionLimit to kMaxSectionLimit, or why the text is not one.
struct SectionLimit {
    enum class Fault { None, NotANumber, OutOfRange };
    int value = 0;
    Fault fault = Fault::None;
};
SectionLimit ParseSectionLimit(std::string_view text);

// Builds the report document (a single line). Ranking sorts the tables: they keep the order of
// their last sort afterwards. `progress` hears the share of the rankings done; after a stop it
// returns early, with no document.
std::string BuildReport(GuildStats& stats, const ReportSettings& settings, const StepProgress& progress = {});

} // namespace coffer
