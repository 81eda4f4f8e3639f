// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli's telling of the alerts an add fired: each on standard error, and, where asked, to the
// officer's command and to the guild's chat webhook, after the add has committed. A command or a post
// that fails is told in one line and never stops the add or a fetch loop.

#include "ledger/fired_alert.h"
#include "net/webhook_poster.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

struct AlertTellingOptions {
    std::string command; // run through /bin/sh -c for each alert told; empty: none
    std::string webhook; // an http:// or https:// address; empty: none
};

QList<QCommandLineOption> AlertTellingOptionList();
const char* AlertTellingUsage();

// Reads the alert options the parser found; returns a message for the user when they are misused. They
// go with the forms that add: `adds` says whether the run is one.
std::string ReadAlertTellingOptions(const QCommandLineParser& parser, bool adds, AlertTellingOptions& options);

// The longest an alert command may run before it is killed, with its process group.
constexpr std::chrono::seconds kAlertCommandTimeLimit{10};

// Tells the alerts of each add. Lives on the thread of the application object (the webhook's posts).
class AlertTeller {
  public:
    AlertTeller(AlertTellingOptions options, std::ostream& err);

    void tell(const std::vector<FiredAlert>& fired);

  private:
    AlertTellingOptions options_;
    std::ostream& err_;
    std::optional<WebhookPoster> poster_;
};

} // namespace coffer
