// SPDX-License-Identifier: MIT
#pragma once
// Posts JSON to a chat service's incoming webhook, on Qt Network, with the downloader's limits: a
// transfer that makes no progress for the stall time-out or is not over by the deadline fails. A
// redirect is not followed but fails the post: the post carries what only the webhook's secret address
// was to be sent, and no other host may be sent it. The answer's body is not kept.
// Needs a QCoreApplication; waiting handles the thread's events.

#include "net/network_downloader.h"

#include <functional>
#include <memory>
#include <string>

namespace coffer {

// Why a post failed, in words that never hold the address (its path is the webhook's secret): "HTTP 500",
// "redirected to another site"; empty when the service took it (a 2xx status).
using PostHandler = std::function<void(std::string failure)>;

class WebhookPoster {
  public:
    explicit WebhookPoster(DownloadLimits limits = {});
    ~WebhookPoster();
    WebhookPoster(const WebhookPoster&) = delete;
    WebhookPoster& operator=(const WebhookPoster&) = delete;

    // Starts posting `json` to `address`; `done` is called on this thread once it has ended.
    void start(const std::string& address, const std::string& json, PostHandler done);
    // Posts and waits for the end; returns the failure.
    std::string post(const std::string& address, const std::string& json);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace coffer
