// SPDX-License-Identifier: MIT
#pragma once
// The work of "Rules and alerts" on the ledger, off the window's thread: reading the rules and the alerts
// they fired, adding or removing a rule (then reading again), and counting what each rule would fire on a
// period of the ledger's history, which stores nothing. One action at a time; its results arrive on the
// window's thread with `finished`.

#include "analysis/tables/entry_selection.h"
#include "ledger/alert_rule.h"
#include "ledger/fired_alert.h"
#include "ui/base/worker_thread.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

class LedgerStore;

class RulesJob : public QObject {
    Q_OBJECT
  public:
    struct Rule {
        std::int64_t number = 0;
        std::string text; // as ParseAlertRule reads it
        std::string zone; // the IANA name of the zone its days are of
    };
    struct Results {
        std::string file;
        bool read = false; // the rules and the alerts below are the ledger's
        std::vector<Rule> rules;
        std::vector<FiredAlert> alerts; // newest first
        // Of a check on history: how many alerts each rule (by its number) would fire.
        std::optional<std::map<std::int64_t, std::uint64_t>> fires;
        std::string error; // why the action failed, for the user
    };

    explicit RulesJob(QObject* parent = nullptr);

    bool running() const { return worker_.running(); }
    // Each is ignored while an action is going. A ledger file not made yet has no rules; adding a rule makes it.
    void read(const std::string& file);
    void addRule(const std::string& file, const AlertRule& rule, const std::string& zone);
    void removeRule(const std::string& file, std::int64_t number);
    void check(const std::string& file, const TimeRange& period);
    Results takeResults();

  signals:
    void finished();

  private:
    void start(const std::string& file, bool write, std::function<void(LedgerStore&, Results&)> work);

    Results results_;
    WorkerThread worker_; // last: it ends the work, which fills the results, before they go
};

} // namespace coffer
