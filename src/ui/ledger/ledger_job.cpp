// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_job.h"

#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "ledger/ledger_open.h"

#include <array>
#include <filesystem>
#include <new>
#include <numeric>
#include <tuple>

namespace coffer {
namespace {

// The share of the progress bar each step of an add takes, in the order of AddStep up to the commit: about
// the share of the time it takes in an add of many new entries to a ledger file.
constexpr std::array<int, 8> kStepShares = {20, 10, 5, 10, 10, 40, 3, 2};
static_assert(std::accumulate(kStepShares.begin(), kStepShares.end(), 0) == 100);
static_assert(kStepShares.size() == static_cast<std::size_t>(AddStep::Commit));

// How far the add has come, in percent, `done` of `total` into `step`; the commit's is 100.
int AddPercent(AddStep step, std::uint64_t done, std::uint64_t total) {
    const auto index = static_cast<std::size_t>(step);
    if (index >= kStepShares.size())
        return 100;
    const int before = std::accumulate(kStepShares.begin(), kStepShares.begin() + index, 0);
    const auto share = static_cast<std::uint64_t>(kStepShares[index]);
    return before + (total == 0 ? 0 : static_cast<int>(share * std::min(done, total) / total));
}

} // namespace

std::string LedgerUnwritableReason(const std::string& file) {
    return LedgerUnwritable(file) ? "read-only file or folder" : "";
}

std::string LedgerWriteRefusal(const std::string& file) {
    const std::string reason = LedgerUnwritableReason(file);
    return reason.empty() ? reason
                          : file + " cannot be written (" + reason +
                                "): nothing can be added to it, but it can be listed and reported from.";
}

LedgerJob::LedgerJob(QObject* parent) : QObject(parent) {
    connect(&worker_, &WorkerThread::finished, this, &LedgerJob::finished);
}

void LedgerJob::read(const std::string& file, bool create) {
    start([file, create](Results& results, const std::stop_token&) {
        results.file = file;
        if (create)
            std::ignore = OpenLedger(file, LedgerAccess::ReadWrite);
        std::error_code error;
        const bool exists = IsServerLedger(file) || std::filesystem::exists(file, error);
        if (error)
            throw CannotOpenLedger(file, error);
        try {
            if (exists) {
                const std::unique_ptr<LedgerStore> ledger = OpenExistingLedger(file);
                results.summary = ReadLedgerSummary(*ledger, file);
                results.hours = ledger->entriesPerHour();
            }
        } catch (const LedgerNotThereYet&) { // the first add creates it, as a file
        }
    });
}

void LedgerJob::add(const std::string& file, LogText text, const std::string& fileName, std::int64_t addedAt) {
    start([this, file, text = std::move(text), fileName, addedAt](Results& results, const std::stop_token& stop) {
        results.file = file;
        std::string joined;
        const std::string_view log = JoinedText(text, joined);
        if (!LooksLikeBankLog(log)) {
            results.error = kNoXmlMessage;
            return;
        }
        bool told = false;
        const auto going = [stop] { return !stop.stop_requested(); };
        const LockWait lockWait = [this, going, &told] {
            if (!std::exchange(told, true))
                worker_.post([this] { emit waitingForLock(); });
            return going();
        };
        // The percent done, told to the window when it changes, through `signal`.
        const auto showTo = [this](void (LedgerJob::*signal)(int)) {
            return [this, signal, shown = -1](int percent) mutable {
                if (percent != std::exchange(shown, percent))
                    worker_.post([this, signal, percent] { emit(this->*signal)(percent); });
            };
        };
        auto showUpgrade = showTo(&LedgerJob::upgradeProgressChanged);
        auto showAdd = showTo(&LedgerJob::progressChanged);
        AddStep step = AddStep::Scan;
        const AddWatch watch{.steps =
                                 [this, &step, &showAdd](AddStep begun) {
                                     step = begun;
                                     showAdd(AddPercent(begun, 0, 1));
                                     emit stepBegins(begun);
                                 },
                             .progress =
                                 [&step, &showAdd, going](std::uint64_t done, std::uint64_t total) {
                                     showAdd(AddPercent(step, done, total));
                                     return going();
                                 },
                             // On a server it also ends the statement under way, a wait for a lock included.
                             .stop = [stop] { return stop.stop_requested(); }};
        try {
            const std::unique_ptr<LedgerStore> ledger =
                OpenLedger(file, LedgerAccess::ReadWrite, lockWait,
                           {.starts = {}, .progress = [&showUpgrade, going](std::uint64_t done, std::uint64_t total) {
                                showUpgrade(total == 0 ? 100 : static_cast<int>(100 * done / total));
                                return going();
                            }});
            results.added = AddToLedger(*ledger, log, fileName, addedAt, watch);
            results.summary = ReadLedgerSummary(*ledger, file);
            results.hours = ledger->entriesPerHour();
        } catch (const LedgerError&) {
            if (stop.stop_requested()) // a wait for a lock that was given up, too
                throw AddCancelled();
            throw;
        }
    });
}

void LedgerJob::start(std::function<void(Results&, const std::stop_token&)> work) {
    if (worker_.running())
        return;
    results_ = {};
    worker_.start([this, work = std::move(work)](std::stop_token stop) {
        try {
            work(results_, stop);
        } catch (const AddCancelled& cancelled) {
            results_.error = cancelled.what();
            results_.cancelled = true;
        } catch (const LedgerError& error) {
            results_.error = error.what();
            results_.needsPassword = error.kind() == LedgerErrorKind::PasswordNeeded;
        } catch (const std::bad_alloc&) {
            results_.error = "There is not enough memory for this paste.";
        } catch (const std::exception& error) { // the file system's, as the ledger's file is looked at
            results_.error = error.what();
        }
    });
}

LedgerJob::Results LedgerJob::takeResults() {
    return std::move(results_);
}

} // namespace coffer
