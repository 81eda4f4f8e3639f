// SPDX-License-Identifier: MIT
// The window's add of a paste of 200,000 entries to a guild ledger, a file and one on the server: Cancel
// as the add's work in the ledger reaches its new names, its entries or its hours leaves the ledger as it
// was, byte for byte or row for row; the progress bar goes through every step to "Writing…", when Cancel
// is disabled. On the server, Cancel or closing the window while the add waits for another writer's lock
// ends the add at once, the ledger as it was.

#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_database.h"
#include "tests/support/pg_test_server.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/step_hold.h"
#include "ui/ledger/ledger_job.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <sqlite3.h>
#include <stdexcept>

namespace coffer {
namespace {

using test::MainWindowHarness;
using test::RunUntil;
using test::StepHold;

// A generous bound on the time from Cancel, or the window's closing, to the add's end: on a loaded machine
// too it catches an add that runs on to its commit or waits out a lock (bench/ledger_add_bench
// prints the real figures).
constexpr qint64 kEndsWithinMs = 5000;

// The bytes of a ledger file as SQLite reads them, its write-ahead log's committed pages included: what
// the file holds once the log is folded back into it. Read through a connection of SQLite's own, which
// keeps the locks of the window's connections. It waits out their brief locks (the last connection to
// close folds the log into the file under an exclusive one): a read that fails is a failure, never an
// empty image.
QByteArray FileBytes(const std::string& file) {
    SqliteDatabase db(file, SqliteDatabase::Access::ReadOnly, std::chrono::seconds(10));
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db.handle(), "main", &size, 0);
    if (bytes == nullptr)
        throw std::runtime_error(file + ": cannot read the ledger's bytes: " + sqlite3_errmsg(db.handle()));
    QByteArray image(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    sqlite3_free(bytes);
    return image;
}

} // namespace

class MainWindowLedgerCancelTest : public QObject {
    Q_OBJECT

    testing::TestServer server_; // each test's database a new one

  private slots:
    void cancelInEachStepAndSeeTheSteps() {
        MainWindowHarness harness;
        QVERIFY(harness.ledgerIdle());
        auto& job = *harness.window().findChild<LedgerJob*>();
        auto* status = harness.find<QLabel>("lblLedgerStatus");
        auto* bar = harness.find<QProgressBar>("progressLedgerAdd");
        auto* cancel = harness.find<QPushButton>("cmdLedgerCancel");
        const QString largePaste = harness.writeFile(
            QStringLiteral("large.xml"),
            QByteArray::fromStdString(bench::GenerateBankLog({.entry_count = 200'000, .spread_days = 60})));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const bool onServer : {false, true}) {
            const std::string ledger =
                onServer ? server_.uri(server_.freshDatabase()) : harness.folder().toStdString() + "/guild.sqlite";
            QVERIFY(
                harness.chooseLedger(onServer ? "cmdLedgerConnect" : "cmdLedgerNew", QString::fromStdString(ledger)));
            QVERIFY(harness.addToLedger(test::DepositsPage("Ann", now)));
            const auto snapshot = [&] {
                return onServer ? QByteArray::fromStdString(testing::TestServer::Snapshot(ledger)) : FileBytes(ledger);
            };
            const QByteArray before = snapshot();
            harness.setLog({});
            QVERIFY(harness.importFile(largePaste));
            for (const AddStep at : {AddStep::Names, AddStep::Entries, AddStep::Hours}) {
                StepHold hold(job, {at});
                harness.click("cmdLedgerAdd");
                QCOMPARE(hold.waitHeld(), std::optional(at));
                QElapsedTimer sinceCancel;
                sinceCancel.start();
                harness.click("cmdLedgerCancel");
                hold.release();
                QVERIFY(RunUntil([&] { return !job.running(); }, 60000));
                QVERIFY2(sinceCancel.elapsed() < kEndsWithinMs, qPrintable(QString::number(sinceCancel.elapsed())));
                QVERIFY(harness.ledgerIdle());
                QCOMPARE(status->text(), QString::fromLatin1(AddCancelled().what()));
                QVERIFY2(snapshot() == before, onServer ? "server" : "file");
            }

            // Uncancelled, the bar moves on at every step, and the commit is "Writing…" without Cancel.
            const std::vector allSteps{AddStep::Scan,    AddStep::Read,   AddStep::Load,
                                       AddStep::Compare, AddStep::Names,  AddStep::Entries,
                                       AddStep::Hours,   AddStep::Pastes, AddStep::Commit};
            StepHold hold(job, allSteps);
            harness.setLog(test::DepositsPage("Bob", now));
            harness.click("cmdLedgerAdd");
            std::vector<AddStep> seen;
            int shown = -1;
            while (const std::optional<AddStep> step = hold.waitHeld()) {
                seen.push_back(*step);
                if (*step == AddStep::Commit) {
                    QCOMPARE(bar->text(), QStringLiteral("Writing…"));
                    QVERIFY(!cancel->isEnabled());
                } else {
                    QVERIFY2(bar->value() > shown,
                             qPrintable(QStringLiteral("step %1 at %2%").arg(seen.size()).arg(shown)));
                    shown = bar->value();
                    QCOMPARE(bar->text(), QStringLiteral("Adding: %1%").arg(shown));
                    QVERIFY(cancel->isEnabled());
                }
                hold.release();
            }
            QCOMPARE(seen, allSteps);
            QVERIFY(harness.ledgerIdle());
            QVERIFY2(status->text().startsWith(QLatin1String("The bank log: 2 entries, 2 new to the ledger")),
                     qPrintable(status->text()));
        }
    }

    // Another officer's add holds the ledger's lock row in its transaction: the window's add waits for it.
    void cancelOrCloseWhileWaitingForALock() {
        const std::string database = server_.freshDatabase(), ledger = server_.uri(database);
        MainWindowHarness harness;
        QVERIFY(harness.ledgerIdle());
        QVERIFY(harness.chooseLedger("cmdLedgerConnect", QString::fromStdString(ledger)));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(harness.addToLedger(test::DepositsPage("Ann", now)));
        const std::string before = testing::TestServer::Snapshot(ledger);
        auto& job = *harness.window().findChild<LedgerJob*>();
        PgConnection watcher = server_.admin();
        const auto waitsForALock = [&] {
            return watcher
                       .query("SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database +
                              "' AND wait_event_type = 'Lock'")
                       .integer(0, 0) > 0;
        };
        PgConnection otherOfficer(ledger, false, {});
        PgTransaction adding(otherOfficer);
        otherOfficer.execute("SELECT copies FROM entry_totals FOR UPDATE");
        for (const bool closing : {false, true}) {
            harness.setLog(test::DepositsPage("Bob", now));
            harness.click("cmdLedgerAdd");
            QVERIFY(RunUntil(waitsForALock, 60000));
            QElapsedTimer sinceStop;
            sinceStop.start();
            if (closing)
                harness.window().close();
            else
                harness.click("cmdLedgerCancel");
            QVERIFY(RunUntil([&] { return !job.running(); }, 20000)); // a third of the lock's wait
            QVERIFY2(sinceStop.elapsed() < kEndsWithinMs, qPrintable(QString::number(sinceStop.elapsed())));
            QVERIFY(!waitsForALock());
            QVERIFY(testing::TestServer::Snapshot(ledger) == before);
        }
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowLedgerCancelTest)
#include "main_window_ledger_cancel_test.moc"
