// SPDX-License-Identifier: MIT
#pragma once
// Getting web pages, several at a time, on the caller's thread. The engine only describes what it
// needs; the network implementation lives outside it.

#include <functional>
#include <string>

namespace coffer {

// How a download ended: the page, or the empty text when none could be had; `timedOut` tells a
// download that ran out of time (no progress, or past its deadline) from other failures. `failure` says
// what went wrong for a caller that tells the user: "HTTP 503" for a status other than 200 (whose page
// is still given), else the reason no whole page could be had; empty for a whole page of status 200.
struct PageResult {
    std::string page;
    bool timedOut = false;
    std::string failure;
};

using PageHandler = std::function<void(PageResult result)>;

class PageDownloader {
  public:
    virtual ~PageDownloader() = default;

    // Starts getting the page at the address. `done` receives the result from within a later
    // waitForAny() on this thread; it may start further downloads.
    virtual void start(const std::string& address, PageHandler done) = 0;
    // Waits until at least one started download has finished, and calls the `done` of every finished
    // one. Returns at once when nothing is in flight.
    virtual void waitForAny() = 0;
    virtual int inFlight() const = 0;
    // Ends every download in flight at once, as failed; a waitForAny() in progress returns. Unlike the
    // rest, may be called from any thread.
    virtual void abortAll() = 0;

    // One page, waited for.
    PageResult download(const std::string& address);
};

} // namespace coffer
