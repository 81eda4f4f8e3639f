// SPDX-License-Identifier: MIT
#pragma once
// A stand-in for the item database site, for tests and benchmarks: an HTTP server on 127.0.0.1 (or another
// loopback address) at a free port, in this process and on this thread (it answers while the client waits for it). It
// serves the pages it is given by request target, after a settable delay, and counts what it was
// asked. Needs a QCoreApplication.

#include "analysis/lookup/site_addresses.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QTcpServer;

namespace coffer::testing {

// Ways a hostile or broken site answers. A trickle sends a byte every 100 ms, forever.
enum class Fault {
    None,
    NeverAnswers,
    TrickleHeaders, // the status line, then a header that never ends
    TrickleBody,    // the headers announcing more than the body given, the body, then the trickle
    EndlessBody,    // the body given, then filler as fast as the client takes it
    EndlessChunks,  // the same, chunked
    ResetMidBody,   // the headers announcing more than the body given, the body, then a reset
};

struct Response {
    int status = 200;
    std::string body{};
    bool sendLength = true; // false: no Content-Length, the body ends when the server closes
    Fault fault = Fault::None;
    std::string location{}; // sent as the Location header when not empty (redirects)
    std::string encoding{}; // sent as the Content-Encoding header when not empty
};

Response Page(std::string body, int status = 200);

class LoreholdSite {
  public:
    explicit LoreholdSite(const std::string& host = "127.0.0.1");
    ~LoreholdSite();

    // "http://HOST:PORT", no trailing slash.
    std::string base() const;
    // What a request for the target ("/?search=Iron+Nails", exactly as requested) gets; else a 404 page.
    // The lookup asks for ItemSearchAddress("", name) and ItemPageAddress("", itemNumber).
    void setPage(const std::string& target, Response response) { pages_[target] = std::move(response); }
    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; } // before every answer

    // Since the site started or since the last forgetRequests(): the requests, and the most that
    // were waiting for their answers at one time.
    void forgetRequests() {
        requests_ = 0;
        maxInFlight_ = inFlight_;
    }
    int requestCount() const { return requests_; }
    int maxInFlight() const { return maxInFlight_; }
    // Each POST request's head (request line and headers) and body, in the order they came.
    const std::vector<std::pair<std::string, std::string>>& posts() const { return posts_; }

  private:
    struct Connection;
    void read(const std::shared_ptr<Connection>& connection);
    void answer(Connection& connection, const std::string& target);

    std::unique_ptr<QTcpServer> listener_;
    std::string host_;
    std::vector<std::pair<std::string, std::string>> posts_;
    std::map<std::string, Response> pages_;
    std::chrono::milliseconds delay_{0};
    int requests_ = 0;
    int inFlight_ = 0;
    int maxInFlight_ = 0;
};

// Pages in the site's markup. `name` is written into the page as given (character references stay).
std::string SearchPageLinking(std::string_view name, std::string_view itemNumber);
std::string SearchPageSaving(std::string_view itemNumber); // only the su_addToSaved('…') call
std::string ItemPageWithPrices(int buyoutGold, int buyoutSilver, int sellGold, int sellSilver);

enum class Packing {
    Gzip,
    Zlib,           // as sites send "deflate"
    GzipWithoutEnd, // the text whole, but the stream never ends
};
// The text compressed, to be sent with its Content-Encoding.
std::string Compressed(std::string_view text, Packing packing);

} // namespace coffer::testing
