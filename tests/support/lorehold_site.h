#pragma once
// A stand-in for the item database site, for tests and benchmarks: an HTTP server on 127.0.0.1 at a
// free port, in this process and on this thread (it answers while the client waits for it). It
// serves the pages it is given by request target, after a settable delay, with settable faults, and
// counts what it was asked. Needs a QCoreApplication.

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace coffer::testing {

enum class Fault {
    None,
    Reset, // the connection is reset instead of answered
    Hang,  // the request is never answered
};

struct Response {
    int status = 200;
    std::string body;
    std::string location;   // sent as the Location header when not empty (redirects)
    bool sendLength = true; // false: no Content-Length, the body ends when the server closes
    Fault fault = Fault::None;
};

Response Page(std::string body, int status = 200);
Response PageUntilClose(std::string body); // no Content-Length
Response Redirect(std::string location);
Response Failing(Fault fault);

class LoreholdSite {
  public:
    LoreholdSite();
    ~LoreholdSite();
    LoreholdSite(const LoreholdSite&) = delete;
    LoreholdSite& operator=(const LoreholdSite&) = delete;

    // "http://127.0.0.1:PORT", no trailing slash.
    std::string base() const;

    // What a request for the target ("/?search=Iron+Nails", exactly as requested) gets. Targets with
    // no page get a 404 page.
    void setPage(const std::string& target, Response response);
    // How long every request waits for its answer.
    void setDelay(std::chrono::milliseconds delay);

    // Counts since the site started or since the last forgetRequests().
    void forgetRequests();
    int requestsFor(const std::string& target) const;
    int requestCount() const;
    // The most requests that were waiting for their answers at one time.
    int maxInFlight() const;
    // The header fields of the last request, by lower-case name.
    const std::map<std::string, std::string>& lastRequestHeaders() const;

  private:
    struct Server;
    std::unique_ptr<Server> server_;
};

// Pages in the site's markup. `name` is written into the page as given (character references stay).
std::string SearchPageLinking(std::string_view name, std::string_view itemNumber);
std::string SearchPageSaving(std::string_view itemNumber); // only the su_addToSaved('…') call
std::string ItemPageWithPrices(int buyoutGold, int buyoutSilver, int sellGold, int sellSilver);
std::string ItemPageSelling(int gold, int silver); // only "Sells for <span"

// The target a search for the name is asked under: "/?search=" and the encoded name.
std::string SearchTarget(std::string_view name);
std::string ItemTarget(std::string_view itemNumber);

} // namespace coffer::testing
