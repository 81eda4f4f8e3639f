// SPDX-License-Identifier: MIT
// Drives the real window's add of a generated paste (200,000 entries unless given) to a guild ledger (a
// file in a temporary folder unless LEDGER names one, a server's URI included) and prints:
//   - the time from Cancel to the add's end, Cancel clicked as the add's work in the ledger reaches its
//     new names, its entries and its hours (the add held there until the click), and halfway through its
//     entries as the window shows it (goal: 0.5 s), with whether the ledger stayed as it was;
//   - of the whole add: the longest time the progress bar stood still before the commit (goal: 0.5 s),
//     and the commit's time, shown as "Writing…";
//   - on a server, the time from Cancel, and from closing the window, to the add's end while it waits for
//     another writer's lock (goal: 1 s).
//
//   ledger_add_bench [LEDGER] [--entries N]

#include "bench/event_gap_meter.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_open.h"
#include "ledger/postgres_connection.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/step_hold.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <atomic>
#include <cstdio>

namespace {

using coffer::AddStep;
using coffer::LedgerJob;
using coffer::test::MainWindowHarness;
using coffer::test::RunUntil;
using coffer::test::StepHold;

// What a ledger holds, in short: its copies and its pastes.
std::pair<std::uint64_t, std::size_t> Held(const std::string& ledger) {
    const std::unique_ptr<coffer::LedgerStore> store = coffer::OpenLedger(ledger, coffer::LedgerAccess::ReadOnly);
    return {store->totals().entries, store->pastes().size()};
}

// Clicks `stop` (Cancel, or the window's closing) and prints how long the add took to end after it.
void TimeStop(LedgerJob& job, const std::string& ledger, const char* when, const std::function<void()>& stop,
              const std::function<void()>& afterStop = {}) {
    const auto before = Held(ledger);
    QElapsedTimer sinceStop;
    sinceStop.start();
    stop();
    if (afterStop)
        afterStop();
    RunUntil([&] { return !job.running(); }, 120000);
    const qint64 ms = sinceStop.elapsed();
    std::printf("  %-52s %6lld ms, the ledger %s\n", when, static_cast<long long>(ms),
                Held(ledger) == before ? "as it was" : "CHANGED");
}

void CancelAtSteps(MainWindowHarness& harness, LedgerJob& job, const std::string& ledger) {
    std::printf("Cancel to the add's end (goal: 0.5 s):\n");
    for (const auto& [at, name] : {std::pair{AddStep::Names, "as the new names begin"},
                                   {AddStep::Entries, "as the entries begin"},
                                   {AddStep::Hours, "as the hours begin"}}) {
        StepHold hold(job, {at});
        harness.click("cmdLedgerAdd");
        if (hold.waitHeld() != at) {
            std::printf("  %-52s not reached\n", name);
            continue;
        }
        TimeStop(
            job, ledger, name, [&] { harness.click("cmdLedgerCancel"); }, [&] { hold.release(); });
    }
    auto* bar = harness.find<QProgressBar>("progressLedgerAdd");
    harness.click("cmdLedgerAdd");
    RunUntil([&] { return bar->value() >= 75 || !job.running(); }, 120000); // the entries' share is 55 to 95
    TimeStop(job, ledger, "halfway through the entries, as the bar shows it",
             [&] { harness.click("cmdLedgerCancel"); });
}

void WholeAdd(MainWindowHarness& harness, LedgerJob& job) {
    auto* bar = harness.find<QProgressBar>("progressLedgerAdd");
    QElapsedTimer clock;
    std::atomic<qint64> commitAt{-1};
    const QMetaObject::Connection commit = QObject::connect(
        &job, &LedgerJob::stepBegins, &job,
        [&](AddStep step) {
            if (step == AddStep::Commit)
                commitAt = clock.elapsed();
        },
        Qt::DirectConnection);
    qint64 movedAt = 0, stillest = 0, stillestFrom = 0;
    const QMetaObject::Connection moves = QObject::connect(bar, &QProgressBar::valueChanged, bar, [&] {
        if (commitAt >= 0)
            return;
        if (clock.elapsed() - movedAt > stillest)
            stillest = clock.elapsed() - movedAt, stillestFrom = movedAt;
        movedAt = clock.elapsed();
    });
    coffer::bench::EventGapMeter gaps;
    gaps.start();
    clock.start();
    harness.click("cmdLedgerAdd");
    RunUntil([&] { return !job.running(); }, 300000);
    const qint64 total = clock.elapsed(), gap = gaps.stop();
    QObject::disconnect(commit);
    QObject::disconnect(moves);
    std::printf("the whole add: %lld ms, longest event gap %lld ms\n", static_cast<long long>(total),
                static_cast<long long>(gap));
    std::printf("  %-52s %6lld ms (from %lld ms)\n", "longest stand-still of the bar before the commit (goal: 0.5 s)",
                static_cast<long long>(stillest), static_cast<long long>(stillestFrom));
    std::printf("  %-52s %6lld ms\n", "the commit (\"Writing…\")", static_cast<long long>(total - commitAt));
}

// Another officer's add holds the ledger's lock row: the window's add waits for it until stopped.
void StopWhileLocked(MainWindowHarness& harness, LedgerJob& job, const std::string& ledger) {
    std::printf("while another writer holds the lock (goal: 1 s):\n");
    coffer::PgConnection watcher(ledger, false, {}), otherOfficer(ledger, false, {});
    const auto waiting = [&] {
        return watcher
                   .query("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                          "AND wait_event_type = 'Lock'")
                   .integer(0, 0) > 0;
    };
    coffer::PgTransaction adding(otherOfficer);
    otherOfficer.execute("SELECT copies FROM entry_totals FOR UPDATE");
    harness.setLog(coffer::test::DepositsPage("Bob", QDateTime::currentMSecsSinceEpoch()));
    for (const bool closing : {false, true}) {
        harness.click("cmdLedgerAdd");
        if (!RunUntil(waiting, 60000)) {
            std::printf("  the add did not wait for the lock\n");
            return;
        }
        TimeStop(job, ledger, closing ? "the window closed" : "Cancel", [&] {
            if (closing)
                harness.window().close();
            else
                harness.click("cmdLedgerCancel");
        });
        RunUntil([&] { return harness.find<QAbstractButton>("cmdLedgerAdd")->isEnabled(); }, 10000);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::size_t entries = 200'000;
    std::string ledger;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--entries" && i + 1 < argc)
            entries = std::stoul(argv[++i]);
        else
            ledger = argv[i];
    }
    MainWindowHarness harness;
    harness.ledgerIdle();
    const bool onServer = coffer::IsServerLedger(ledger);
    if (ledger.empty())
        ledger = harness.folder().toStdString() + "/bench.sqlite";
    (onServer ? harness.dialogs().sharedLedgerAnswers : harness.dialogs().openAnswers)
        << QString::fromStdString(ledger);
    harness.click(onServer ? "cmdLedgerConnect" : "cmdLedgerOpen");
    harness.ledgerIdle();
    harness.setLog(coffer::test::DepositsPage("Ann", QDateTime::currentMSecsSinceEpoch()));
    harness.click("cmdLedgerAdd");
    harness.ledgerIdle();
    const QString paste = harness.writeFile(
        QStringLiteral("paste.xml"),
        QByteArray::fromStdString(coffer::bench::GenerateBankLog({.entry_count = entries, .spread_days = 60})));
    harness.setLog({});
    harness.importFile(paste);
    std::printf("a paste of %zu entries added to %s\n", entries, coffer::LedgerDisplayName(ledger).c_str());
    LedgerJob& job = *harness.window().findChild<LedgerJob*>();
    CancelAtSteps(harness, job, ledger);
    WholeAdd(harness, job);
    if (onServer)
        StopWhileLocked(harness, job, ledger);
    return 0;
}
