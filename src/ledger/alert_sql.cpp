// SPDX-License-Identifier: MIT
#include "ledger/alert_sql.h"

#include "analysis/text/web_text.h"
#include "ledger/ledger_actions.h"
#include "ledger/zone_calendar.h"

namespace coffer {
namespace {

constexpr const char* kBadRuleReason = "a rule's number, text or time zone is not one this program writes";
constexpr const char* kBadAlertReason = "an alert's rule or time is not a whole number";

} // namespace

void ThrowDamaged(const LedgerSql& sql, const char* reason) {
    throw LedgerError(LedgerErrorKind::Damaged, sql.name() + " is damaged: " + reason);
}

std::vector<NumberedRule> ReadRules(LedgerSql& sql) {
    std::vector<NumberedRule> rules;
    sql.run("SELECT id, text, zone FROM alert_rule WHERE removed_at IS NULL ORDER BY id", {}, [&](const SqlRow& row) {
        const std::optional<AlertRule> rule = row.isInteger(0) ? ParseAlertRule(row.bytes(1)) : std::nullopt;
        std::string zone(row.bytes(2));
        if (!rule || !ZoneCalendar::Named(zone))
            ThrowDamaged(sql, kBadRuleReason);
        rules.push_back({.number = row.integer(0), .rule = *rule, .zone = std::move(zone)});
    });
    return rules;
}

std::int64_t StoreRule(LedgerSql& sql, const AlertRule& rule, const std::string& zone) {
    if (!ZoneCalendar::Named(zone))
        throw LedgerError(LedgerErrorKind::Other, "the time zone " + CleanText(zone) + " is not one this system knows");
    std::int64_t number = 0;
    const std::string text = AlertRuleText(rule);
    sql.run("INSERT INTO alert_rule (text, zone) VALUES ($1, $2) RETURNING id", {SqlText{text}, SqlText{zone}},
            [&](const SqlRow& row) { number = row.integer(0); });
    return number;
}

bool RetireRule(LedgerSql& sql, std::int64_t number, std::int64_t now) {
    bool retired = false;
    sql.run("UPDATE alert_rule SET removed_at = $2 WHERE id = $1 AND removed_at IS NULL RETURNING id", {number, now},
            [&](const SqlRow&) { retired = true; });
    return retired;
}

std::vector<FiredAlert> ReadAlerts(LedgerSql& sql, const std::optional<TimeRange>& period) {
    std::vector<FiredAlert> alerts;
    std::vector<SqlValue> params;
    if (period)
        params = {TimeParam(period->first), TimeParam(period->last)};
    sql.runEach(std::string("SELECT rule, member, day, line, fired_at FROM alert") +
                    (period ? " WHERE fired_at BETWEEN $1 AND $2" : "") + " ORDER BY fired_at DESC, id",
                params, [&](const SqlRow& row) {
                    if (!row.isInteger(0) || !row.isInteger(4))
                        ThrowDamaged(sql, kBadAlertReason);
                    alerts.push_back({.rule = row.integer(0),
                                      .member = CleanText(row.bytes(1)),
                                      .day = CleanText(row.bytes(2)),
                                      .line = CleanText(row.bytes(3)),
                                      .firedAt = row.integer(4)});
                });
    return alerts;
}

std::vector<NumberedRule> LedgerStore::rules() {
    std::vector<NumberedRule> rules;
    withAlertSql(false, [&](LedgerSql& sql) { rules = ReadRules(sql); });
    return rules;
}

std::int64_t LedgerStore::addRule(const AlertRule& rule, const std::string& zone) {
    std::int64_t number = 0;
    if (!withAlertSql(true, [&](LedgerSql& sql) { number = StoreRule(sql, rule, zone); }))
        throw LedgerError(LedgerErrorKind::CannotWrite, name() + ": the ledger was opened for reading");
    return number;
}

bool LedgerStore::removeRule(std::int64_t number) {
    bool removed = false;
    withAlertSql(true, [&](LedgerSql& sql) { removed = RetireRule(sql, number, NowMs()); });
    return removed;
}

std::vector<FiredAlert> LedgerStore::alerts(const std::optional<TimeRange>& period) {
    std::vector<FiredAlert> alerts;
    withAlertSql(false, [&](LedgerSql& sql) { alerts = ReadAlerts(sql, period); });
    return alerts;
}

std::vector<FiredAlert> LedgerStore::checkRules(const std::optional<TimeRange>& period) {
    std::vector<FiredAlert> alerts;
    readAtOnce([&] { withAlertSql(false, [&](LedgerSql& sql) { alerts = CheckRulesOnHistory(sql, period); }); });
    return alerts;
}

} // namespace coffer
