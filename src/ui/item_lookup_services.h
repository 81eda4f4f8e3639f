#pragma once
// The item lookup on the item database site, as the main window uses it: a price source for each
// analysis run with "Look up item values" ticked, and the page an item's row opens.

#include "ui/analysis_job.h"

#include <functional>
#include <string>

namespace coffer {

// Makes, on the run's thread, a price source with a downloader of its own for the site at `base`.
AnalysisJob::PriceSourceFactory WebPriceSources(std::string base);

// The item's page (or its search page) on the site at `base`; waits for the site, handling events.
std::function<std::string(const std::string& itemName)> ItemPageResolver(std::string base);

} // namespace coffer
