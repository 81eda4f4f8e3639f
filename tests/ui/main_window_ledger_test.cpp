// The Guild Ledger panel: the box's text added as pastes, the pastes and the gap between them, a period
// analysed from the ledger, an add that waits for another program and is cancelled, a file that is not
// a ledger refused, and the ledger in use found again at the next start.

#include "analysis/analysis_run.h"
#include "analysis/tables/transaction_totals.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_gaps.h"
#include "ledger/sqlite_database.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/stats_table_model.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <tuple>

namespace coffer {

using test::MainWindowHarness;
using test::RunUntil;

class MainWindowLedgerTest : public QObject {
    Q_OBJECT

  private slots:
    void addSeeTheGapAnalyseAPeriodAndReopen() {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("coffer.ini")), QSettings::IniFormat);
        MainWindowHarness harness({}, {}, &store);
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle()); // the default ledger read
        harness.dialogs().saveAnswers << harness.folder() + QStringLiteral("/guild");
        harness.click("cmdLedgerNew");
        QVERIFY(harness.ledgerIdle());
        const qint64 now = QDateTime::currentMSecsSinceEpoch(), older = now - 20LL * 24 * 3600 * 1000;
        // Bob's page also holds an entry without a time, which no period takes.
        const std::string undated = "<banklog money=\"7\" player=\"Bob\" type=\"4\"/>\n";
        for (const auto& [player, newest, more] : {std::tuple{"Ann", now, ""}, {"Bob", older, undated.c_str()}}) {
            harness.setLog(test::DepositsPage(player, newest) + more);
            harness.click("cmdLedgerAdd");
            QVERIFY(harness.ledgerIdle());
        }
        const QString gap = QString::fromStdString(GapText({older, now - 60000}));
        QCOMPARE(harness.find<QLabel>("lblLedgerStatus")->text(),
                 QStringLiteral("The bank log: 3 entries, 3 new to the ledger\n") + gap);
        auto* gaps = harness.find<QListWidget>("lstLedgerGaps");
        QCOMPARE(gaps->count(), 1);
        QCOMPARE(gaps->item(0)->text(), gap);
        auto* pastes = harness.find<QTreeWidget>("lstLedgerPastes");
        QCOMPARE(pastes->topLevelItemCount(), 2);
        QCOMPARE(pastes->topLevelItem(1)->text(3), QString::fromStdString(LocalTimeText(older - 60000)));

        harness.find<QComboBox>("cmbLedgerPeriod")->setCurrentIndex(1); // the last 7 days
        harness.click("cmdLedgerAnalyze");
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(test::Shown(harness.window().memberModel(), {kCharacter}), QStringList{"Ann"});
        QVERIFY(harness.status().contains(QString::fromStdString(OutsidePeriodText(2))));
        QVERIFY(harness.status().contains(QString::fromStdString(UndatedLeftOutText(1))));

        { // another program holds the ledger's write lock: the add waits, says so, and can be cancelled
            SqliteDatabase otherProgram(harness.folder().toStdString() + "/guild.sqlite",
                                        SqliteDatabase::Access::ReadWrite, {});
            SqliteTransaction lock(otherProgram);
            harness.setLog(test::DepositsPage("Cid", now));
            harness.click("cmdLedgerAdd");
            auto* status = harness.find<QLabel>("lblLedgerStatus");
            QVERIFY(
                RunUntil([status] { return status->text().startsWith(QLatin1String("Waiting for another")); }, 10000));
            QVERIFY(!harness.find<QPushButton>("cmdAnalyze")->isEnabled());
            harness.click("cmdLedgerCancel");
            QVERIFY(harness.ledgerIdle());
            QCOMPARE(status->text(), QString::fromLatin1(AddCancelled().what()));
        }
        // A file that is not a ledger is refused with a message, and the ledger in use stays.
        harness.dialogs().openAnswers << harness.writeFile(QStringLiteral("notes.txt"), "some notes, not a ledger\n");
        harness.click("cmdLedgerOpen");
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(harness.dialogs().warnings, QStringList{harness.folder() + "/notes.txt is not a Coffer ledger."});
        // So is a name the file system refuses to look at, with its reason.
        const QString loop = harness.folder() + QStringLiteral("/loop");
        QVERIFY(QFile::link(loop, loop));
        harness.dialogs().openAnswers << loop;
        harness.click("cmdLedgerOpen");
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(harness.dialogs().warnings.last(),
                 loop + ": cannot open the ledger: Too many levels of symbolic links");
        harness.restart();
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(harness.find<QLineEdit>("txtLedgerFile")->text(), harness.folder() + QStringLiteral("/guild.sqlite"));
        QCOMPARE(harness.find<QTreeWidget>("lstLedgerPastes")->topLevelItemCount(), 2);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowLedgerTest)
#include "main_window_ledger_test.moc"
