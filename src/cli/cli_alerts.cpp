// SPDX-License-Identifier: MIT
#include "cli/cli_alerts.h"

#include "analysis/text/text_util.h"
#include "cli/cli.h"
#include "ledger/ledger_store.h"
#include "ledger/zone_calendar.h"

#include <ostream>

namespace coffer {
namespace {

const QCommandLineOption kRules(QStringLiteral("rules")),
    kAddRule(QStringLiteral("add-rule"), {}, QStringLiteral("TEXT")),
    kRemoveRule(QStringLiteral("remove-rule"), {}, QStringLiteral("N")), kAlerts(QStringLiteral("alerts")),
    kCheckRules(QStringLiteral("check-rules"));

struct FormOption {
    const QCommandLineOption* option;
    AlertForm form;
    const char* name;
};
constexpr FormOption kForms[] = {{&kRules, AlertForm::Rules, "rules"},
                                 {&kAddRule, AlertForm::AddRule, "add-rule"},
                                 {&kRemoveRule, AlertForm::RemoveRule, "remove-rule"},
                                 {&kAlerts, AlertForm::Alerts, "alerts"},
                                 {&kCheckRules, AlertForm::CheckRules, "check-rules"}};

std::string RuleLine(const NumberedRule& rule) {
    return std::to_string(rule.number) + ": " + AlertRuleText(rule.rule) + " (" + rule.zone + ")";
}

} // namespace

QList<QCommandLineOption> AlertCliOptionList() {
    return {kRules, kAddRule, kRemoveRule, kAlerts, kCheckRules};
}

const char* AlertCliUsage() {
    return R"(
Alert rules, which every add to the ledger checks (with --ledger FILE):
      --rules                print the ledger's rules with their numbers
      --add-rule TEXT        add a rule, counting days and weeks in this machine's time zone (TZ,
                             else /etc/localtime); TEXT is one of:
                               gold withdrawn over 500g a day (or a week; "gold withdrawn or
                                 repaired" counts repairs too)
                               items withdrawn over 100 a day (or a week), optionally "from tab 3"
                               any withdrawal from tab 5, optionally "by rank 3 or below"
                               withdrawals with no deposit ever
                               a gap opened
      --remove-rule N        take rule N out of force (its alerts stay)
      --alerts               print the alerts the rules fired, newest first; with --from and --to,
                             those fired in that period
      --check-rules          print what the rules would fire on the ledger's entries (with --from
                             and --to, those of the period), storing nothing
)";
}

const char* AlertFormOption(AlertForm form) {
    for (const FormOption& named : kForms)
        if (named.form == form)
            return named.name;
    return "";
}

bool AlertFormWrites(AlertForm form) {
    return form == AlertForm::AddRule || form == AlertForm::RemoveRule;
}

std::string ReadAlertCliOptions(const QCommandLineParser& parser, AlertCliOptions& options) {
    for (const FormOption& named : kForms)
        if (parser.isSet(*named.option)) {
            if (options.form != AlertForm::None)
                return "give one of --rules, --add-rule, --remove-rule, --alerts and --check-rules";
            options.form = named.form;
        }
    if (options.form == AlertForm::AddRule) {
        const std::string text = parser.value(kAddRule).toStdString();
        const std::optional<AlertRule> rule = ParseAlertRule(text);
        if (!rule) {
            std::string forms = kAlertRuleForms;
            forms.pop_back(); // the message's own line break ends it
            return "\"" + text + "\" is not a rule; a rule is one of these:\n" + forms;
        }
        options.rule = *rule;
    }
    if (options.form == AlertForm::RemoveRule) {
        const std::string number = parser.value(kRemoveRule).toStdString();
        if (number.empty() || number.size() > 18 || !AllDigits(number))
            return "option --remove-rule needs a rule's number, not \"" + number + "\"";
        options.number = std::stoll(number);
    }
    return {};
}

int RunAlertForm(const AlertCliOptions& options, LedgerStore& ledger, bool quiet, std::ostream& out,
                 std::ostream& err) {
    switch (options.form) {
    case AlertForm::AddRule: {
        const std::optional<std::string> zone = MachineZoneName();
        if (!zone) {
            err << "coffer-cli: this machine's time zone has no name the rule can keep; set TZ to one, such as "
                   "TZ=Europe/Berlin\n";
            return kCliFailure;
        }
        const std::int64_t number = ledger.addRule(options.rule, *zone);
        out << RuleLine({.number = number, .rule = options.rule, .zone = *zone}) << '\n';
        return kCliSuccess;
    }
    case AlertForm::RemoveRule:
        if (!ledger.removeRule(options.number)) {
            err << "coffer-cli: the ledger has no rule " << options.number << '\n';
            return kCliFailure;
        }
        if (!quiet)
            err << "Rule " << options.number << " removed\n";
        return kCliSuccess;
    case AlertForm::Rules:
        for (const NumberedRule& rule : ledger.rules())
            out << RuleLine(rule) << '\n';
        return kCliSuccess;
    case AlertForm::Alerts:
    case AlertForm::CheckRules: {
        const bool check = options.form == AlertForm::CheckRules;
        const std::vector<FiredAlert> alerts =
            check ? ledger.checkRules(options.period) : ledger.alerts(options.period);
        for (const FiredAlert& alert : alerts)
            out << alert.line << '\n';
        if (check && !quiet)
            err << alerts.size() << (alerts.size() == 1 ? " alert" : " alerts") << " would fire\n";
        return kCliSuccess;
    }
    case AlertForm::None:
        break;
    }
    return kCliSuccess;
}

} // namespace coffer
