// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli's forms of the ledger's alert rules: --rules, --add-rule TEXT, --remove-rule N, --alerts and
// --check-rules (with --ledger FILE).

#include "analysis/tables/entry_selection.h"
#include "ledger/alert_rule.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace coffer {

class LedgerStore;

enum class AlertForm { None, Rules, AddRule, RemoveRule, Alerts, CheckRules };

struct AlertCliOptions {
    AlertForm form = AlertForm::None;
    AlertRule rule;                  // of --add-rule
    std::int64_t number = 0;         // of --remove-rule
    std::optional<TimeRange> period; // of --alerts and --check-rules
};

// The forms' options, for the parser, and their lines of the help text.
QList<QCommandLineOption> AlertCliOptionList();
const char* AlertCliUsage();

// Reads the form the parser found, with its rule or number; returns a message for the user when they are
// misused (a text that is none of the rules' forms: the forms). The period is the caller's.
std::string ReadAlertCliOptions(const QCommandLineParser& parser, AlertCliOptions& options);
// The option's name of a form, for messages: "rules", "add-rule"…
const char* AlertFormOption(AlertForm form);
// Whether the form changes the ledger (and opens it for writing).
bool AlertFormWrites(AlertForm form);

// Runs the form on the ledger; returns the exit status.
int RunAlertForm(const AlertCliOptions& options, LedgerStore& ledger, bool quiet, std::ostream& out, std::ostream& err);

} // namespace coffer
