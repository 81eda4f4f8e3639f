// SPDX-License-Identifier: MIT
#pragma once
// The ledger's alert rules and fired alerts through the SQL both stores share: the rules and alerts as the
// ledger keeps them, checked as they are read (alert_sql.cpp); the alerts an add fires on what it brought, and
// what the rules would fire on the ledger's history (alert_firing.cpp).

#include "ledger/ledger_sql.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace coffer {

// Throws the LedgerError (Damaged) of the ledger whose rules, alerts or entries the rules read are not
// what this program writes, saying why.
[[noreturn]] void ThrowDamaged(const LedgerSql& sql, const char* reason);

// The rules in force, by number; a LedgerError (Damaged) where a rule's number, text or zone is not one this
// program writes.
[[nodiscard]] std::vector<NumberedRule> ReadRules(LedgerSql& sql);
// Adds a rule counting in `zone`; its number. A LedgerError for a zone the system does not know.
std::int64_t StoreRule(LedgerSql& sql, const AlertRule& rule, const std::string& zone);
// Takes a rule out of force at `now` (its number is never given again, its alerts stay); false for a number
// of no rule in force.
bool RetireRule(LedgerSql& sql, std::int64_t number, std::int64_t now);
// The alerts fired in the period, or all, newest first; those of one add in the order it fired them.
[[nodiscard]] std::vector<FiredAlert> ReadAlerts(LedgerSql& sql, const std::optional<TimeRange>& period);

// What of an add the rules look at: its entries, and which of them gained copies.
struct AddedEntries {
    std::span<const PasteEntry> entries;
    const EntryKeys& keys;
    const IncomingFields& fields;
    std::vector<std::size_t> gained; // the places of the entries the ledger holds more copies of now
    bool alone = false;              // the ledger held no entry before: its entries are the add's
};
// Checks the rules on the members and days of the entries the add brought, and on the gaps it opened, once
// those are in the ledger; stores the alerts the ledger did not hold and gives them back, in the order they
// fired. `now`: when the add began.
[[nodiscard]] std::vector<FiredAlert> FireRules(LedgerSql& sql, const AddedEntries& added,
                                                const std::vector<TimeGap>& openedGaps, std::int64_t now);
// What the rules would fire on the ledger's entries of the period (all: none) and its gaps, storing nothing:
// by rule, then in the order of time. A member who never deposited is told on the day of the first withdrawal.
[[nodiscard]] std::vector<FiredAlert> CheckRulesOnHistory(LedgerSql& sql, const std::optional<TimeRange>& period);

} // namespace coffer
