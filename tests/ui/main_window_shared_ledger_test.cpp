// SPDX-License-Identifier: MIT
// Two windows sharing a guild ledger on the PostgreSQL server of the test fixture: what one adds the other
// lists after a refresh, a period is analysed from it, and the password the server wants is asked for
// unless the URI gave it, and never kept in the settings. An add without the right to write, and a
// refresh while the server is down, say why on one line and keep the lists shown.

#include "analysis/tables/transaction_totals.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "tests/support/pg_test_server.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/outside_add.h"
#include "ui/base/elided_label.h"
#include "ui/ledger/ledger_change_watch.h"
#include "ui/stats/stats_table_model.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sstream>

namespace coffer {

using test::MainWindowHarness;

class MainWindowSharedLedgerTest : public QObject {
    Q_OBJECT

  private slots:
    // Another officer adds to the shared ledger in use: the window hears of it through a listening
    // connection and follows by itself, the Entries list keeping its place; the connection dropped is
    // made anew, and an add after that is heard too.
    void followsWhatAnotherOfficerAdds() {
        testing::TestServer server;
        const std::string database = server.freshDatabase(), uri = server.uri(database);
        MainWindowHarness harness;
        QVERIFY(harness.ledgerIdle());
        QVERIFY(harness.chooseLedger("cmdLedgerConnect", QString::fromStdString(uri)));
        const auto addElsewhere = [&](const std::string& page) {
            const std::unique_ptr<LedgerStore> other = OpenLedger(uri, LedgerAccess::ReadWrite);
            std::ignore = AddToLedger(*other, page, {}, QDateTime::currentMSecsSinceEpoch());
        };
        const QString failure = test::SeeAnAddElsewhere(harness, addElsewhere);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        auto* status = harness.find<QLabel>("lblLedgerStatus");
        server.admin().execute(
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query = 'LISTEN coffer_ledger'");
        addElsewhere(test::DepositsPage("Cy", QDateTime::currentMSecsSinceEpoch()));
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("The ledger changed: 2 new"), 5000);
        // Minimised long enough, the window neither looks nor listens; restored, it reads what came meanwhile.
        LedgerChangeWatch& changes = harness.window().ledgerChanges();
        changes.setSleepAfterForTesting(std::chrono::milliseconds(1));
        QTRY_VERIFY(changes.listening());
        harness.window().showMinimized();
        QTRY_VERIFY(!changes.watching() && !changes.listening());
        addElsewhere(test::DepositsPage("Dee", QDateTime::currentMSecsSinceEpoch()));
        harness.window().showNormal();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("The ledger changed: 2 new") &&
                                     harness.find<QLabel>("lblEntryCount")->text() == "328 entries: everything",
                                 5000);
    }

    // A user of this test logs in with a password; the fixture's superuser does without.
    void shareALedgerOnTheServer() {
        testing::TestServer server;
        const std::string folder = server.folder(), officer = "officer" + std::to_string(getpid()),
                          reader = "reader" + std::to_string(getpid()), database = "w" + officer;
        const auto uri = [&](const std::string& user) { return QString::fromStdString(server.uri(database, user)); };
        PgConnection admin = server.admin();
        admin.execute("CREATE ROLE " + officer + " LOGIN PASSWORD 's3cret'");
        admin.execute("CREATE ROLE " + reader + " LOGIN");
        admin.execute("CREATE DATABASE " + database + " OWNER " + officer);
        std::stringstream hba;
        hba << "local all " << officer << " scram-sha-256\n" << std::ifstream(folder + "/data/pg_hba.conf").rdbuf();
        std::ofstream(folder + "/data/pg_hba.conf") << hba.str();
        admin.execute("SELECT pg_reload_conf()");

        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("coffer.ini")), QSettings::IniFormat);
        MainWindowHarness first({}, {}, &store), second;
        QVERIFY(first.ledgerIdle() && second.ledgerIdle()); // their default ledgers read
        QVERIFY(first.chooseLedger("cmdLedgerConnect", uri(officer + ":s3cret")));
        const QString shown = QString::fromStdString(LedgerDisplayName(uri(officer).toStdString()));
        QCOMPARE(first.find<ElidedLabel>("txtLedgerFile")->fullText(), shown);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(first.addToLedger(test::DepositsPage("Ann", now)));
        first.find<QComboBox>("cmbLedgerPeriod")->setCurrentIndex(1);
        first.click("cmdLedgerAnalyze");
        QVERIFY(first.ledgerIdle());
        QCOMPARE(test::Shown(first.window().memberModel(), {kCharacter}), QStringList{"Ann"});

        second.dialogs().passwordAnswers << QStringLiteral("s3cret");
        QVERIFY(second.chooseLedger("cmdLedgerConnect", uri(officer)));
        QVERIFY(first.addToLedger(test::DepositsPage("Bob", now)));
        second.click("cmdLedgerRefresh");
        QVERIFY(second.ledgerIdle());
        QCOMPARE(second.find<QTreeWidget>("lstLedgerPastes")->topLevelItemCount(), 2);
        QCOMPARE(second.dialogs().passwordsAsked, QStringList{shown});

        first.dialogs().passwordAnswers << QStringLiteral("s3cret");
        first.restart();
        QVERIFY(first.ledgerIdle());
        QCOMPARE(store.value(QStringLiteral("ledger/file")).toString(), uri(officer));
        QCOMPARE(first.dialogs().passwordsAsked, QStringList{shown});
        QCOMPARE(first.find<QTreeWidget>("lstLedgerPastes")->topLevelItemCount(), 2);

        // Known only when the add fails: a reader may not add. The reason shows as the status and a warning.
        server.admin(database).execute("GRANT USAGE ON SCHEMA public TO " + reader +
                                       "; GRANT SELECT ON coffer_ledger, "
                                       "entry, entry_totals, entry_hours, entry_name, paste, guild TO " +
                                       reader);
        QVERIFY(second.chooseLedger("cmdLedgerConnect", uri(reader)));
        QVERIFY(second.addToLedger(test::DepositsPage("Cid", now)));
        auto* status = second.find<QLabel>("lblLedgerStatus");
        auto* pastes = second.find<QTreeWidget>("lstLedgerPastes");
        QVERIFY2(status->text().contains(QLatin1String("permission denied")), qPrintable(status->text()));
        QCOMPARE(second.dialogs().warnings, QStringList{status->text()});
        QCOMPARE(pastes->topLevelItemCount(), 2);

        // The server stops: a refresh keeps what was shown and says when it was read.
        server.signal(SIGKILL);
        second.click("cmdLedgerRefresh");
        QVERIFY(second.ledgerIdle());
        QVERIFY(server.restart());
        const QRegularExpression refreshFailed(
            QStringLiteral("^Could not refresh at \\d\\d:\\d\\d:\\d\\d: [^\n]*server[^\n]*; showing the ledger as read "
                           "at \\d\\d:\\d\\d:\\d\\d\\.$"));
        QVERIFY2(refreshFailed.match(status->text()).hasMatch(), qPrintable(status->text()));
        QCOMPARE(pastes->topLevelItemCount(), 2);
        QVERIFY(second.find<QLabel>("lblLedgerTotals")->text().contains(QLatin1String("Lanterns")));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowSharedLedgerTest)
#include "main_window_shared_ledger_test.moc"
