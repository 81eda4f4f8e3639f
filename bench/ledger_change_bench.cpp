// SPDX-License-Identifier: MIT
// What the Guild Ledger panel's watch of other programs' adds costs: the share of a core the whole window
// process takes as it idles with a ledger file shown, which it looks at every second, against the same
// span once the watch has stopped (the window minimised); the time one look at the file takes; and the
// time from an add through another connection to the panel showing it.
//
// Usage: ledger_change_bench [--ledger-entries N] [--seconds N] [--runs N]
#include "genlog/banklog_generator.h"
#include "ledger/file_change_look.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/ledger/ledger_change_watch.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <tuple>

namespace {

using coffer::test::MainWindowHarness;
using coffer::test::RunUntil;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The share of one core the process took while its events ran for `seconds`, idle.
double IdleShare(int seconds) {
    const double before = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100 * (CpuSeconds() - before) / seconds;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes
    std::size_t ledgerEntries = 100'000;
    int seconds = 60, runs = 5;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--ledger-entries")
            ledgerEntries = args[i + 1].toULongLong();
        else if (args[i] == u"--seconds")
            seconds = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }

    MainWindowHarness harness;
    harness.ledgerIdle();
    const std::string ledger = harness.folder().toStdString() + "/ledger.sqlite";
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = ledgerEntries;
    options.spread_days = 365;
    std::ignore = coffer::AddToLedger(*coffer::OpenLedger(ledger, coffer::LedgerAccess::ReadWrite),
                                      coffer::bench::GenerateBankLog(options), "bench.xml", 0);
    harness.click("cmdLedger");
    harness.click("cmdLedgerRefresh"); // the default ledger, which the first reading found missing
    harness.ledgerIdle();
    coffer::LedgerChangeWatch& changes = harness.window().ledgerChanges();
    if (!RunUntil([&] { return changes.watching(); }, 10000)) {
        std::printf("the watch did not start\n");
        return 1;
    }
    std::printf("ledger of %zu entries; each figure over %d s of idling\n", ledgerEntries, seconds);
    std::printf("window idle, the ledger watched:     %.3f%% of a core\n", IdleShare(seconds));
    changes.setSleepAfterForTesting(std::chrono::milliseconds(1));
    harness.window().showMinimized();
    RunUntil([&] { return !changes.watching(); }, 10000);
    std::printf("window idle, minimised, not watched: %.3f%% of a core\n", IdleShare(seconds));

    constexpr int kLooks = 100'000;
    QElapsedTimer clock;
    clock.start();
    std::size_t length = 0;
    for (int look = 0; look < kLooks; ++look)
        length += coffer::LedgerFileLook(ledger).size();
    const double microseconds = static_cast<double>(clock.nsecsElapsed()) / 1000 / kLooks;
    std::printf("one look at the file: %.2f us (%.5f%% of a core at one a second; %zu)\n", microseconds,
                microseconds / 1e4, length / kLooks);

    harness.window().showNormal();
    RunUntil([&] { return changes.watching(); }, 10000);
    auto* status = harness.find<QLabel>("lblLedgerStatus");
    const qint64 newest = QDateTime::currentMSecsSinceEpoch();
    for (int run = 0; run < runs; ++run) {
        status->clear();
        const std::string page = coffer::test::DepositsPage("Bench" + std::to_string(run), newest + run * 120'000);
        clock.start();
        std::ignore = coffer::AddToLedger(*coffer::OpenLedger(ledger, coffer::LedgerAccess::ReadWrite), page, {}, 0);
        const double addMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const bool shown =
            RunUntil([&] { return status->text().startsWith(QStringLiteral("The ledger changed: 2 new")); }, 10000);
        std::printf("add through another connection %.0f ms, then shown after %.0f ms%s\n", addMs,
                    static_cast<double>(clock.nsecsElapsed()) / 1e6 - addMs, shown ? "" : " (not shown)");
    }
    return 0;
}
