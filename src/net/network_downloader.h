// SPDX-License-Identifier: MIT
#pragma once
// The program's HTTP GET, on Qt Network: user agent "Mozilla", no proxy, caches bypassed, redirects
// followed, gzip and deflate accepted, the body decoded as UTF-8. A response with an error status
// gives its error page; no connection, no response, a transfer that makes no progress for the stall
// time-out or is not over by the deadline, a body (compressed or inflated) past the size cap, one
// that stops before its end or cannot be inflated give the empty text; the result's `failure` says
// which. Waiting handles the thread's events; without a QCoreApplication every download gives the
// empty text.

#include "analysis/lookup/page_downloader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QUrl;

namespace coffer {

// The cookies (name and value) that a request to this host and path carries, asked for each request a
// download makes, redirects included.
using CookiesFor = std::function<std::vector<std::pair<std::string, std::string>>(bool https, const std::string& host,
                                                                                  const std::string& path)>;

struct DownloadLimits {
    std::chrono::milliseconds stallTimeout{15'000}; // without a byte moving
    std::chrono::milliseconds deadline{60'000};     // from the request, whatever arrives
    std::int64_t maxBytes = 16 * 1024 * 1024;       // never buffered or inflated beyond this
};

class NetworkDownloader : public PageDownloader {
  public:
    explicit NetworkDownloader(DownloadLimits limits = {});
    ~NetworkDownloader() override;
    NetworkDownloader(const NetworkDownloader&) = delete;
    NetworkDownloader& operator=(const NetworkDownloader&) = delete;

    void start(const std::string& address, PageHandler done) override;
    void waitForAny() override;
    int inFlight() const override;
    void abortAll() override;

    // For a caller that does not wait: called on this thread as soon as a download has finished; the
    // caller then hands the pages on with waitForAny(), which returns at once.
    void setFinishedNotifier(std::function<void()> notify);
    // The cookies of later requests; none without.
    void setCookies(CookiesFor cookies);

  private:
    struct Transfer;
    void send(const QUrl& address, std::unique_ptr<Transfer> transfer, int redirectsLeft);
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace coffer
