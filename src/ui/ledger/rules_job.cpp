// SPDX-License-Identifier: MIT
#include "ui/ledger/rules_job.h"

#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"

#include <filesystem>
#include <new>

namespace coffer {
namespace {

void ReadRulesAndAlerts(LedgerStore& store, RulesJob::Results& results) {
    store.readAtOnce([&] {
        for (const NumberedRule& stored : store.rules())
            results.rules.push_back({.number = stored.number, .text = AlertRuleText(stored.rule), .zone = stored.zone});
        results.alerts = store.alerts(std::nullopt);
    });
    results.read = true;
}

} // namespace

RulesJob::RulesJob(QObject* parent) : QObject(parent) {
    connect(&worker_, &WorkerThread::finished, this, &RulesJob::finished);
}

void RulesJob::read(const std::string& file) {
    start(file, false, ReadRulesAndAlerts);
}

void RulesJob::addRule(const std::string& file, const AlertRule& rule, const std::string& zone) {
    start(file, true, [rule, zone](LedgerStore& store, Results& results) {
        std::ignore = store.addRule(rule, zone);
        ReadRulesAndAlerts(store, results);
    });
}

void RulesJob::removeRule(const std::string& file, std::int64_t number) {
    start(file, true, [number](LedgerStore& store, Results& results) {
        store.removeRule(number);
        ReadRulesAndAlerts(store, results);
    });
}

void RulesJob::check(const std::string& file, const TimeRange& period) {
    start(file, false, [period](LedgerStore& store, Results& results) {
        std::map<std::int64_t, std::uint64_t> fires;
        for (const FiredAlert& alert : store.checkRules(period))
            ++fires[alert.rule];
        results.fires = std::move(fires);
    });
}

void RulesJob::start(const std::string& file, bool write, std::function<void(LedgerStore&, Results&)> work) {
    if (worker_.running())
        return;
    results_ = {.file = file, .read = false, .rules = {}, .alerts = {}, .fires = {}, .error = {}};
    worker_.start([this, file, write, work = std::move(work)](const std::stop_token&) {
        try {
            std::error_code missing;
            if (!write && !IsServerLedger(file) && !std::filesystem::exists(file, missing) && !missing) {
                results_.read = true; // a ledger file the first add or rule is yet to make has no rules
                return;
            }
            const std::unique_ptr<LedgerStore> store =
                write ? OpenLedger(file, LedgerAccess::ReadWrite) : OpenExistingLedger(file);
            work(*store, results_);
        } catch (const LedgerNotThereYet&) { // a server's database without the ledger's tables yet
            results_.read = true;
        } catch (const LedgerError& error) {
            results_.error = error.what();
        } catch (const std::bad_alloc&) {
            results_.error = "There is not enough memory to read the rules.";
        } catch (const std::exception& error) { // the file system's, as the ledger's file is looked at
            results_.error = error.what();
        }
    });
}

RulesJob::Results RulesJob::takeResults() {
    return std::move(results_);
}

} // namespace coffer
