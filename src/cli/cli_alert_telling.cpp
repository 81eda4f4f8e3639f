// SPDX-License-Identifier: MIT
#include "cli/cli_alert_telling.h"

#include "analysis/text/shown_address.h"
#include "ledger/told_alerts.h"
#include "shell/shell_command.h"

#include <QUrl>

#include <ostream>

namespace coffer {
namespace {

const QCommandLineOption kAlertCommand(QStringLiteral("alert-command"), {}, QStringLiteral("CMD")),
    kAlertWebhook(QStringLiteral("alert-webhook"), {}, QStringLiteral("URL"));

// What follows a channel's failure: the alerts of the add it was not given, as a failed one is likely
// to fail again, and each try may take its whole time limit.
std::string NotGiven(std::size_t left, const char* verb) {
    return left == 0 ? std::string() : ", " + std::string(verb) + " for the " + std::to_string(left) + " after it";
}

} // namespace

QList<QCommandLineOption> AlertTellingOptionList() {
    return {kAlertCommand, kAlertWebhook};
}

const char* AlertTellingUsage() {
    return R"(      --alert-command CMD    after each add, run CMD through /bin/sh -c for each alert it fired,
                             the alert in COFFER_ALERT, COFFER_MEMBER, COFFER_RULE and COFFER_DAY;
                             killed after 10 seconds (empty: none)
      --alert-webhook URL    after each add, post each alert it fired to a chat webhook as
                             {"content": "the alert"} (empty: none; starred out of the arguments)
)";
}

std::string ReadAlertTellingOptions(const QCommandLineParser& parser, bool adds, AlertTellingOptions& options) {
    for (const QCommandLineOption* option : {&kAlertCommand, &kAlertWebhook})
        if (parser.isSet(*option) && !adds)
            return "option --" + option->names().constFirst().toStdString() + " goes with --add, --merge or --fetch";
    options.command = parser.value(kAlertCommand).toStdString();
    options.webhook = parser.value(kAlertWebhook).toStdString();
    if (!options.webhook.empty() && !IsWebAddress(options.webhook))
        return "option --alert-webhook needs an http:// or https:// address";
    return {};
}

AlertTeller::AlertTeller(AlertTellingOptions options, std::ostream& err) : options_(std::move(options)), err_(err) {
    if (!options_.webhook.empty())
        poster_.emplace();
}

void AlertTeller::tell(const std::vector<FiredAlert>& fired) {
    const std::vector<ToldAlert> told = AlertsToTell(fired);
    for (const ToldAlert& alert : told)
        err_ << "ALERT " << alert.line << '\n';
    err_.flush(); // before the command writes on the same stream
    // A channel that failed is not tried again for this add's other alerts.
    bool commanding = !options_.command.empty(), posting = poster_.has_value();
    for (std::size_t i = 0; i < told.size(); ++i) {
        const ToldAlert& alert = told[i];
        if (commanding) {
            const std::string failure = RunShellCommand(options_.command,
                                                        {{"COFFER_ALERT", alert.line},
                                                         {"COFFER_MEMBER", alert.member},
                                                         {"COFFER_RULE", alert.rule},
                                                         {"COFFER_DAY", alert.day}},
                                                        kAlertCommandTimeLimit);
            if (!(commanding = failure.empty()))
                err_ << "coffer-cli: the alert command " << failure << NotGiven(told.size() - i - 1, "not run")
                     << std::endl;
        }
        if (posting) {
            const std::string failure = poster_->post(options_.webhook, ChatMessageJson(alert.line));
            if (!(posting = failure.empty()))
                err_ << "coffer-cli: the alert webhook at "
                     << QUrl(QString::fromStdString(options_.webhook)).host().toStdString() << " failed: " << failure
                     << NotGiven(told.size() - i - 1, "not posted") << std::endl;
        }
    }
}

} // namespace coffer
