#include "analysis/page_downloader.h"

#include <optional>

namespace coffer {

std::string PageDownloader::download(const std::string& address) {
    std::optional<std::string> result;
    start(address, [&result](std::string page) { result = std::move(page); });
    while (!result && inFlight() > 0)
        waitForAny();
    return result.value_or(std::string());
}

} // namespace coffer
