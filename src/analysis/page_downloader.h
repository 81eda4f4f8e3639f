#pragma once
// Getting web pages, several at a time, on the caller's thread. The engine only describes what it
// needs; the network implementation lives outside it.

#include <functional>
#include <string>

namespace coffer {

using PageHandler = std::function<void(std::string page)>;

class PageDownloader {
  public:
    virtual ~PageDownloader() = default;

    // Starts getting the page at the address. `done` receives the page, or the empty text when none
    // could be had, from within a later waitForAny() on this thread; it may start further downloads.
    virtual void start(const std::string& address, PageHandler done) = 0;
    // Waits, letting the window handle its events, until at least one started download has finished,
    // and calls the `done` of every finished one. Returns at once when nothing is in flight.
    virtual void waitForAny() = 0;
    virtual int inFlight() const = 0;

    // One page, waited for.
    std::string download(const std::string& address);
};

} // namespace coffer
