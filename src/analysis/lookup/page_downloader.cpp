// SPDX-License-Identifier: MIT
#include "analysis/lookup/page_downloader.h"

#include <optional>

namespace coffer {

PageResult PageDownloader::download(const std::string& address) {
    std::optional<PageResult> result;
    start(address, [&result](PageResult done) { result = std::move(done); });
    while (!result && inFlight() > 0)
        waitForAny();
    return result.value_or(PageResult{});
}

} // namespace coffer
