// SPDX-License-Identifier: MIT
#pragma once
// The item lookup on the item database site, as the main window uses it: a price source for each
// analysis run with "Look up item values" ticked, and the page an item's row opens.

#include "ui/main_window.h"
#include "ui/stats/analysis_job.h"

#include <functional>
#include <string>

namespace coffer {

// Makes, on the run's thread, a price source with a downloader of its own for the site at `base`.
AnalysisJob::PriceSourceFactory WebPriceSources(std::string base);

// Finds the page an item's row opens on the site at `base` without waiting for the site: `done` gets
// the item's page (or its search page) when the search page has arrived. A newer request supersedes
// one still pending, whose download is dropped and whose `done` is never called.
AddressResolver ItemPageResolver(std::string base);

} // namespace coffer
