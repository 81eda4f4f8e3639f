// SPDX-License-Identifier: MIT
// The Guild Ledger panel: the box's text added as pastes, the pastes and the gap between them, a period
// analysed from the ledger, an add that waits for another program and is cancelled, a file that is not
// a ledger refused, and the ledger in use found again at the next start.

#include "analysis/analysis_run.h"
#include "analysis/tables/transaction_totals.h"
#include "cli/cli.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_gaps.h"
#include "ledger/ledger_open.h"
#include "ledger/list_totals.h"
#include "ledger/sqlite_database.h"
#include "shell/qt/local_days.h"
#include "tests/ledger/old_ledger_file.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/outside_add.h"
#include "ui/base/elided_label.h"
#include "ui/base/engine_text.h"
#include "ui/base/user_dialogs.h"
#include "ui/close_on_signals.h"
#include "ui/ledger/entries_tab.h"
#include "ui/ledger/entry_list_model.h"
#include "ui/ledger/ledger_panel.h"
#include "ui/ledger/ledger_timeline.h"
#include "ui/stats/stats_table_model.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QTableView>

#include <QAbstractItemModelTester>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QWebEngineView>
#include <csignal>
#include <grp.h>
#include <sstream>
#include <unistd.h>

namespace coffer {

using test::MainWindowHarness;
using test::RunUntil;

namespace {
// What the rows of coffer-cli --entries's tab-separated text add up to, read from their Action, Count and
// Gold cells ("12g 05s 30c").
ListTotals SumOfListed(const std::string& tsv) {
    ListTotals totals;
    std::istringstream lines(tsv);
    std::string line;
    std::getline(lines, line); // the captions
    while (std::getline(lines, line)) {
        const QStringList cells = QString::fromStdString(line).split(u'\t');
        const QRegularExpressionMatch gold =
            QRegularExpression(QStringLiteral("^(\\d+)g (\\d\\d)s (\\d\\d)c$")).match(cells[kGoldColumn]);
        const std::int64_t count = cells[kCountColumn].toLongLong(),
                           copper = gold.hasMatch()
                                        ? gold.captured(1).toLongLong() * 10000 + gold.captured(2).toLongLong() * 100 +
                                              gold.captured(3).toLongLong()
                                        : 0;
        const QString& action = cells[kActionColumn];
        if (action == QLatin1String("Deposit"))
            totals.itemsDeposited += count;
        else if (action == QLatin1String("Withdrawal"))
            totals.itemsWithdrawn += count;
        else if (action == QLatin1String("Gold deposit"))
            totals.goldDeposited += copper;
        else if (action == QLatin1String("Gold withdrawal"))
            totals.goldWithdrawn += copper;
        else if (action == QLatin1String("Repair"))
            totals.repairs += copper;
    }
    return totals;
}

// What coffer-cli writes for `args`: its output, or its errors when it fails.
std::string Cli(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    return RunCli(args, in, out, err, "DATE") == 0 ? out.str() : err.str();
}

} // namespace

class MainWindowLedgerTest : public QObject {
    Q_OBJECT

  private slots:
    void addSeeTheGapAnalyseAPeriodAndReopen() {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("coffer.ini")), QSettings::IniFormat);
        MainWindowHarness harness({}, {}, &store);
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle()); // the default ledger read
        QVERIFY(harness.chooseLedger("cmdLedgerNew", harness.folder() + QStringLiteral("/guild")));
        // Yesterday's noon: a pixel of the time line, some forty minutes, never crosses a midnight.
        const qint64 now = QDateTime(QDate::currentDate().addDays(-1), QTime(12, 0)).toMSecsSinceEpoch(),
                     older = now - 20LL * 24 * 3600 * 1000;
        QVERIFY(harness.addToLedger(test::DepositsPage("Ann", now)));
        // Bob's paste is two imported files, which name it; one holds an entry without a time, which no
        // period takes.
        harness.setLog({});
        const QStringList bobsFiles{
            harness.writeFile(QStringLiteral("bob.xml"), QByteArray::fromStdString(test::DepositsPage("Bob", older))),
            harness.writeFile(QStringLiteral("undated.xml"), "<banklog money=\"7\" player=\"Bob\" type=\"4\"/>\n")};
        for (const QString& file : bobsFiles)
            QVERIFY(harness.importFile(file));
        harness.click("cmdLedgerAdd");
        QVERIFY(harness.ledgerIdle());
        const QString gap = QString::fromStdString(GapText({older, now - 60000}));
        QCOMPARE(harness.find<QLabel>("lblLedgerStatus")->text(),
                 QStringLiteral("The bank log: 3 entries, 3 new to the ledger\n") + gap);
        auto* gaps = harness.find<QListWidget>("lstLedgerGaps");
        QCOMPARE(gaps->count(), 1);
        QCOMPARE(gaps->item(0)->text(), gap);
        auto* pastes = harness.find<QTreeWidget>("lstLedgerPastes");
        QCOMPARE(pastes->topLevelItemCount(), 2);
        QCOMPARE(pastes->topLevelItem(1)->text(3), QString::fromStdString(LocalTimeText(older - 60000)));
        QCOMPARE(pastes->topLevelItem(0)->text(6), QStringLiteral("pasted text"));
        QCOMPARE(pastes->topLevelItem(1)->text(6), bobsFiles.join(QStringLiteral(", ")));

        // On the time line, from Bob's paste to Ann's, the gap tells its line and a click on it chooses its
        // days; a drag chooses the days it spans, which the Options frame's period leaves as they are.
        auto* timeline = harness.find<LedgerTimeline>("picLedgerTimeline");
        auto* period = harness.find<QComboBox>("cmbLedgerPeriod");
        const auto x = [&](qint64 ms) { return static_cast<int>(timeline->axis().x(ms)); };
        const int middle = x((older + now) / 2), low = timeline->height() / 2;
        QCOMPARE(timeline->toolTipAt(QPointF(middle, low)), gap);
        const auto days = [](qint64 first, qint64 last) {
            return QStringLiteral("From %1 to %2")
                .arg(LocalDay(first).toString(Qt::ISODate), LocalDay(last).toString(Qt::ISODate));
        };
        QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(middle, low));
        QCOMPARE(period->currentText(), days(older, now - 60000));
        QTest::mousePress(timeline, Qt::LeftButton, {}, QPoint(x(now), low));
        QTest::mouseMove(timeline, QPoint(middle + 40, low));
        QCOMPARE(QStringLiteral("From ") + QToolTip::text(),
                 days(timeline->axis().time(middle + 40), timeline->axis().time(x(now))));
        QTest::mouseRelease(timeline, Qt::LeftButton, {}, QPoint(middle, low));
        QCOMPARE(period->currentText(), days(timeline->axis().time(middle), timeline->axis().time(x(now) - 1)));
        QCOMPARE(period->count(), 5);
        // The days chosen stay shaded while they are the period.
        const QImage chosen = timeline->grab().toImage();
        period->setCurrentIndex(3);
        QVERIFY(timeline->grab().toImage() != chosen);
        period->setCurrentIndex(4);
        QCOMPARE(timeline->grab().toImage(), chosen);
        // The file's size and its recent writes (which a checkpoint moves into it) apart, in MiB, the
        // bytes in the tooltip.
        auto* totals = harness.find<QLabel>("lblLedgerTotals");
        const auto bytes =
            QRegularExpression(QStringLiteral("^File size: (\\d+) bytes, and (\\d+) bytes of recent writes$"))
                .match(totals->toolTip());
        QVERIFY2(bytes.hasMatch() && bytes.captured(1).toLongLong() > 0, qPrintable(totals->toolTip()));
        const auto mebibytes = [&](int part) {
            return QString::number(bytes.captured(part).toLongLong() / 1048576.0, 'f', 1) + " MiB";
        };
        const QString size =
            bytes.captured(2) == u"0"
                ? QStringLiteral("File size: %1").arg(mebibytes(1))
                : QStringLiteral("File size: %1, and %2 of recent writes").arg(mebibytes(1), mebibytes(2));
        QVERIFY2(totals->text().contains(QString(size).replace(u' ', QChar::Nbsp)), qPrintable(totals->text()));
        // The entries list follows each choice of days, and the Options frame's period once chosen.
        const EntryListModel* listed = harness.find<EntriesTab>("tabLedgerEntries")->model();
        const auto listsDays = [&](qint64 first, qint64 last) {
            return listed->filter().period == LocalDaysRange(ToLocalDate(LocalDay(first)), ToLocalDate(LocalDay(last)));
        };
        QVERIFY(listsDays(timeline->axis().time(middle), timeline->axis().time(x(now) - 1)));
        harness.find<QCheckBox>("chkPeriod")->setChecked(true); // Bob's day alone
        for (const char* date : {"dtpFrom", "dtpTo"})
            harness.find<QDateEdit>(date)->setDate(LocalDay(older));
        period->setCurrentIndex(0);
        QVERIFY(listsDays(older, older));
        harness.find<QDateEdit>("dtpTo")->setDate(LocalDay(now));
        QVERIFY(listsDays(older, now));
        harness.find<QCheckBox>("chkPeriod")->setChecked(false);
        QVERIFY(!listed->filter().period);
        harness.find<QCheckBox>("chkPeriod")->setChecked(true);
        harness.find<QDateEdit>("dtpTo")->setDate(LocalDay(older));
        period->setCurrentIndex(4); // the days dragged again
        harness.click("cmdLedgerAnalyze");
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(test::Shown(harness.window().memberModel(), {kCharacter}), QStringList{"Ann"});
        QVERIFY(harness.status().contains(QString::fromStdString(OutsidePeriodText(2))));
        QVERIFY(harness.status().contains(QString::fromStdString(UndatedLeftOutText(1))));

        { // another program holds the ledger's write lock: the add waits, says so, and can be cancelled
            SqliteDatabase otherProgram(harness.folder().toStdString() + "/guild.sqlite",
                                        SqliteDatabase::Access::ReadWrite, std::chrono::seconds(10));
            SqliteTransaction lock(otherProgram); // once the window's reader has let go of the file
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
        // In a read-only folder the add is refused before it is tried, the reason in its tooltip.
        QVERIFY(QFile::setPermissions(harness.folder(), QFile::ReadOwner | QFile::ExeOwner));
        harness.click("cmdLedgerRefresh");
        QVERIFY(harness.ledgerIdle());
        auto* add = harness.find<QPushButton>("cmdLedgerAdd");
        QVERIFY(!add->isEnabled());
        QCOMPARE(add->toolTip(), QStringLiteral("This ledger cannot be written: read-only file or folder"));
        QVERIFY(QFile::setPermissions(harness.folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // A file that is not a ledger is refused with a message, and the ledger in use stays.
        QVERIFY(harness.chooseLedger("cmdLedgerOpen",
                                     harness.writeFile(QStringLiteral("notes.txt"), "some notes, not a ledger\n")));
        QCOMPARE(harness.dialogs().warnings, QStringList{harness.folder() + "/notes.txt is not a Coffer ledger."});
        // So is a name the file system refuses to look at, with its reason.
        const QString loop = harness.folder() + QStringLiteral("/loop");
        QVERIFY(QFile::link(loop, loop));
        QVERIFY(harness.chooseLedger("cmdLedgerOpen", loop));
        QCOMPARE(harness.dialogs().warnings.last(),
                 loop + ": cannot open the ledger: Too many levels of symbolic links");
        harness.restart();
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(harness.find<ElidedLabel>("txtLedgerFile")->fullText(),
                 harness.folder() + QStringLiteral("/guild.sqlite"));
        QCOMPARE(harness.find<QTreeWidget>("lstLedgerPastes")->topLevelItemCount(), 2);
    }

    // An add to an older ledger first brings it up to date; Cancel leaves it as it was, the next add goes in.
    void anAddUpgradesAnOlderLedgerWhichCancelLeavesAsItWas() {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("coffer.ini")), QSettings::IniFormat);
        MainWindowHarness harness({}, {}, &store);
        const std::string current = harness.folder().toStdString() + "/current.sqlite";
        const QString old = harness.folder() + QStringLiteral("/old.sqlite");
        std::string log = "<?xml?>\n";
        for (int i = 0; i < 50'000; ++i)
            log += "<banklog money=\"1\" player=\"P" + std::to_string(i) + "\" ts=\"" + std::to_string(i) +
                   "000\" type=\"4\"/>\n";
        std::ignore = AddToLedger(*OpenLedger(current, LedgerAccess::ReadWrite), log, {}, 0);
        WriteOldLedgerFile(old.toStdString(), kHourCountsVersion, current);
        const QByteArray before = test::ReadAll(old);
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        QVERIFY(harness.chooseLedger("cmdLedgerOpen", old));
        harness.setLog(test::DepositsPage("Ann", QDateTime::currentMSecsSinceEpoch()));
        auto* status = harness.find<QLabel>("lblLedgerStatus");
        harness.click("cmdLedgerAdd");
        QVERIFY(
            RunUntil([status] { return status->text() == QStringLiteral("Bringing the ledger up to date…"); }, 10000));
        harness.click("cmdLedgerCancel");
        QVERIFY(harness.ledgerIdle());
        QCOMPARE(status->text(), QString::fromLatin1(AddCancelled().what()));
        QVERIFY(test::ReadAll(old) == before);
        harness.click("cmdLedgerAdd");
        QVERIFY(harness.ledgerIdle());
        QVERIFY(status->text().startsWith(QLatin1String("The bank log: 2 entries, 2 new to the ledger")));
    }

    // The entries tab of a ledger of many pages: the search, "Show this member's entries" (the search
    // kept), the rows read as the view comes to them with only a few pages held, a double-click, Ctrl+C
    // equal to coffer-cli --entries of the same filters, and an export of a ledger gone.
    void listsFindsCopiesAndExportsEntries() {
        MainWindowHarness harness;
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        const QString ledger = harness.folder() + QStringLiteral("/guild.sqlite");
        auto* model = harness.find<EntriesTab>("tabLedgerEntries")->model();
        QCOMPARE(model->ledger(), std::string()); // no default ledger yet: nothing to list, and no failure to show
        QVERIFY(harness.chooseLedger("cmdLedgerNew", ledger));
        const char* members[] = {"Ann", "O&apos;Neil&amp;Co", "Cy"};
        std::string log = "<?xml?>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 2500; ++i)
            log += "<banklog money=\"" + std::to_string(i) + "\" player=\"" + members[i % 3] + "\" ts=\"" +
                   std::to_string(now - i * 60000LL) + "\" type=\"" + std::to_string(i % 6 + 1) + "\">\n" +
                   (i % 6 < 2 ? " <item count=\"2\" name=\"Salt &amp; Pepper\"/>\n" : "") + "</banklog>\n";
        QVERIFY(harness.addToLedger(log));
        harness.find<QTabWidget>("tabLedgerLists")->setCurrentIndex(2);
        auto* view = harness.find<QTableView>("lstLedgerEntries");
        const auto arrived = [&](int row) {
            return RunUntil([&] { return model->index(row, kTimeColumn).data() != QStringLiteral("…"); }, 10000);
        };
        // The empty list of the new ledger keeps its place as the add's rows come in.
        QVERIFY(RunUntil([&] { return model->counted() && model->rowCount() == 2500; }, 10000));
        QCOMPARE(harness.find<QLabel>("lblEntryCount")->text(), QStringLiteral("2,500 entries: everything"));
        for (const int row : {2499, 0, 1250, 2000, 300, 1700, 900, 2300, 100, 2499}) {
            view->scrollTo(model->index(row, 0));
            QVERIFY(arrived(row));
        }
        QVERIFY(model->heldRows() <= EntryListModel::kPagesKept * EntryListModel::kPageRows);
        QCOMPARE(model->index(2499, kMemberColumn).data().toString(), QStringLiteral("Ann"));
        // Another program's add: the next page read counts the list again, and the list takes its count.
        std::ignore = AddToLedger(*OpenLedger(ledger.toStdString(), LedgerAccess::ReadWrite),
                                  "<?xml?>\n<banklog money=\"1\" player=\"Dee\" ts=\"1000\" type=\"4\"/>\n", {}, 0);
        view->scrollTo(model->index(1500, 0));
        QVERIFY(RunUntil([&] { return model->rowCount() == 2501; }, 10000));
        QCOMPARE(harness.find<QLabel>("lblEntryCount")->text(), QStringLiteral("2,501 entries: everything"));

        // The line under the list adds up what coffer-cli --entries writes of the same filters.
        auto* totals = harness.find<QLabel>("lblEntryTotals");
        auto* search = harness.find<QLineEdit>("txtFindEntry");
        auto* action = harness.find<QComboBox>("cmbEntryAction");
        const auto cliTotals = [&](std::vector<std::string> filters) {
            filters.insert(filters.begin(), {"--ledger", ledger.toStdString(), "--entries", "-", "--quiet"});
            return ToQString(ListTotalsText(SumOfListed(Cli(filters))));
        };
        const auto shownTotals = [&] {
            return RunUntil([&] { return model->totals().has_value(); }, 10000) ? totals->text() : QString();
        };
        const std::tuple<const char*, int, std::vector<std::string>> filterSets[] = {
            {"", 0, {}},
            {"", 1, {"--action", "items"}},
            {"", 5, {"--action", "withdrawals"}},
            {"neil", 0, {"--search", "neil"}},
            {"cy", 3, {"--search", "cy", "--action", "repairs"}},
            {"a", 2, {"--search", "a", "--action", "gold"}}};
        for (const auto& [text, choice, filters] : filterSets) {
            search->setText(QString::fromLatin1(text));
            action->setCurrentIndex(choice);
            QCOMPARE(shownTotals(), cliTotals(filters));
        }
        search->clear();
        action->setCurrentIndex(0);

        // Ctrl+F finds the search from anywhere in the window, the tab just chosen included.
        auto* lists = harness.find<QTabWidget>("tabLedgerLists");
        lists->tabBar()->setFocus();
        QTest::keyClick(lists->tabBar(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), harness.find<QLineEdit>("txtFindEntry"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("NEIL"));
        QVERIFY(RunUntil([&] { return model->counted() && model->rowCount() == 833; }, 10000));
        harness.find<QComboBox>("cmbLedgerPeriod")->setCurrentIndex(3); // everything
        harness.click("cmdLedgerAnalyze");
        QVERIFY(harness.ledgerIdle());
        auto* memberList = harness.find<QTableView>("ListView1");
        const QStringList names = test::Shown(harness.window().memberModel(), {kCharacter});
        QVERIFY2(names.contains(QStringLiteral("O&apos;Neil&amp;Co")), qPrintable(names.join(u' ')));
        memberList->selectRow(static_cast<int>(names.indexOf(QStringLiteral("O&apos;Neil&amp;Co"))));
        memberList->findChild<QAction*>(QStringLiteral("mnuMemberEntries"))->trigger();
        QCOMPARE(harness.visiblePanel(), QStringLiteral("FrameLedger"));
        QCOMPARE(harness.find<QPushButton>("cmdEntryFilter")->text(), QStringLiteral("Member: O'Neil&Co"));
        QCOMPARE(harness.find<QLineEdit>("txtFindEntry")->text(), QStringLiteral("NEIL"));
        harness.find<QComboBox>("cmbEntryAction")->setCurrentIndex(2); // gold
        QVERIFY(RunUntil([&] { return model->counted() && model->rowCount() == 416; }, 10000));
        QVERIFY(arrived(1));

        view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(RunUntil([] { return !QApplication::clipboard()->text().isEmpty(); }, 10000));
        const std::string tsv = Cli({"--ledger", ledger.toStdString(), "--entries", "-", "--member", "O'Neil&Co",
                                     "--search", "NEIL", "--action", "gold"});
        QCOMPARE(QApplication::clipboard()->text().toStdString(),
                 tsv.substr(0, tsv.find('\n', tsv.find('\n', tsv.find('\n') + 1) + 1) + 1));

        const QString csv = harness.folder() + QStringLiteral("/entries.csv");
        harness.dialogs().saveAnswers << csv;
        harness.click("cmdExportEntries");
        QVERIFY(RunUntil([&] { return QFile::exists(csv); }, 10000));
        const QString wrote = QStringLiteral("Wrote 416 entries to %1.").arg(csv);
        QTRY_COMPARE(harness.find<QLabel>("lblLedgerStatus")->text(), wrote);
        QCOMPARE(harness.status(), wrote);

        emit view->doubleClicked(model->index(0, kMemberColumn));
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        const QUrl page(QStringLiteral("http://armory.localhost/character-sheet.xml?r=Silver%20Hand&n=O%27Neil%26Co"));
        QVERIFY2(RunUntil([&] { return browser->url() == page; }, 10000), qPrintable(browser->url().toString()));
        QCOMPARE(QUrl(harness.find<QLineEdit>("Text2")->text()), page);

        QVERIFY(QFile::remove(ledger) && QFile::remove(csv)); // an export of a ledger gone says so
        harness.dialogs().saveAnswers << csv;
        harness.click("cmdExportEntries");
        QTRY_COMPARE(harness.dialogs().warnings, QStringList{"Error: " + ledger + ": there is no such ledger"});
    }

    // A drill-down shows the period it brings as the panel's; removing its filter gives back the one before
    // it; the line under the list says what an export writes. A click on a column's header sorts the list
    // (again: the other way round), Time's reverses it; a list longer than a sort takes is not sorted, and
    // says so. Each export equals coffer-cli --entries of the same filters and order.
    void everyFilterShowsAndTheListSorts() {
        MainWindowHarness harness;
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        const QString ledger = harness.folder() + QStringLiteral("/guild.sqlite");
        harness.dialogs().saveAnswers << ledger;
        harness.click("cmdLedgerNew");
        QVERIFY(harness.ledgerIdle());
        // An entry an hour for two weeks: item and gold deposits and withdrawals of Orron and Ann, written as
        // the armory writes them.
        std::string log = "<?xml?>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
        const qint64 start = QDateTime(QDate(2008, 12, 1), QTime(0, 30)).toMSecsSinceEpoch();
        for (int i = 0; i < 14 * 24; ++i) {
            const bool item = i % 4 < 2;
            log += "<banklog dtab=\"" + std::string(item ? "0" : "") + "\" money=\"" +
                   std::to_string(item ? 0 : i * 3797 % 100000) + "\" player=\"" + (i % 3 ? "Orron" : "Ann") +
                   "\" rank=\"1\" ts=\"" + std::to_string(start + i * 3600000LL) + "\" type=\"" +
                   std::to_string(i % 4 + 1) + "\"" + (item ? ">\n" : "/>\n");
            if (item)
                log += " <item count=\"" + std::to_string(i % 7 + 1) + "\" icon=\"inv_ore\" id=\"" +
                       (i % 5 ? "2771\" name=\"Ore" : "2593\" name=\"ale") +
                       "\" qi=\"1\" slot=\"0\" subtype=\"\" type=\"0\"/>\n</banklog>\n";
        }
        QVERIFY(harness.addToLedger(log));
        auto* period = harness.find<QComboBox>("cmbLedgerPeriod");
        harness.find<LedgerPanel>("FrameLedger")->chooseDays(QDate(2008, 12, 1), QDate(2008, 12, 7));
        harness.click("cmdLedgerAnalyze");
        QVERIFY(harness.ledgerIdle());
        period->setCurrentIndex(3); // everything, while the lists show the week
        const auto drillDown = [&](const char* list, const StatsTableModel* model, int column, const char* action,
                                   const QString& name) {
            auto* view = harness.find<QTableView>(list);
            view->selectRow(static_cast<int>(test::Shown(model, {column}).indexOf(name)));
            view->findChild<QAction*>(QString::fromLatin1(action))->trigger();
        };
        drillDown("ListView2", harness.window().itemModel(), kItem, "mnuItemEntries", QStringLiteral("Ore"));
        drillDown("ListView1", harness.window().memberModel(), kCharacter, "mnuMemberEntries", QStringLiteral("Orron"));
        QCOMPARE(period->currentText(), QStringLiteral("From 2008-12-01 to 2008-12-07"));
        auto* chip = harness.find<QPushButton>("cmdEntryFilter");
        QCOMPARE(chip->text(), QStringLiteral("Member: Orron"));
        harness.find<QComboBox>("cmbEntryAction")->setCurrentIndex(5); // withdrawals

        auto* model = harness.find<EntriesTab>("tabLedgerEntries")->model();
        auto* line = harness.find<QLabel>("lblEntryCount");
        const auto cli = [&](std::vector<std::string> more) {
            more.insert(more.begin(), {"--ledger", ledger.toStdString(), "--entries", "-", "--csv", "--from",
                                       "2008-12-01", "--to", "2008-12-07", "--action", "withdrawals"});
            return Cli(more);
        };
        const auto exported = [&] {
            const QString csv = harness.folder() + QStringLiteral("/entries.csv");
            QFile::remove(csv);
            harness.dialogs().saveAnswers << csv;
            harness.click("cmdExportEntries");
            return RunUntil([&] { return QFile::exists(csv); }, 10000) ? test::ReadAll(csv).toStdString()
                                                                       : std::string();
        };
        // Each list of the round trip: its line, and an export of as many rows as the line says.
        const auto lists = [&](const std::vector<std::string>& filter, const QString& shown) {
            if (!RunUntil([&] { return model->counted() && line->text().endsWith(shown); }, 10000))
                return line->text() + QStringLiteral(" against ") + shown;
            const std::string csv = exported(), expected = cli(filter);
            const auto rows = std::ranges::count(csv, '\n') - 1;
            if (csv != expected || line->text() != QStringLiteral("%1 entries: %2").arg(rows).arg(shown))
                return line->text() + QStringLiteral(" exported ") + QString::fromStdString(csv);
            return QString();
        };
        QCOMPARE(lists({"--member", "Orron"}, QStringLiteral("Orron, 2008-12-01 to 2008-12-07, withdrawals")),
                 QString());
        chip->click(); // the item's filter comes back, then none
        QCOMPARE(chip->text(), QStringLiteral("Item: Ore"));
        QCOMPARE(lists({"--item", "Ore"}, QStringLiteral("Ore, 2008-12-01 to 2008-12-07, withdrawals")), QString());
        chip->click();
        QVERIFY(chip->isHidden());
        QCOMPARE(lists({}, QStringLiteral("2008-12-01 to 2008-12-07, withdrawals")), QString());
        QCOMPARE(period->currentText(), QStringLiteral("From 2008-12-01 to 2008-12-07"));

        auto* view = harness.find<QTableView>("lstLedgerEntries");
        QHeaderView* header = view->horizontalHeader();
        const auto click = [&](int column) {
            view->scrollTo(model->index(0, column));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
        };
        const auto clickHeader = [&](int column, EntrySort sorted) {
            click(column);
            return RunUntil([&] { return model->counted() && model->sort() == sorted; }, 10000) &&
                   header->sortIndicatorSection() == column;
        };
        QVERIFY(clickHeader(kMemberColumn, {.column = EntrySortColumn::Member, .reversed = false}));
        const std::string byMember = cli({"--sort", "member"});
        QCOMPARE(exported(), byMember);
        QVERIFY(line->text().endsWith(QStringLiteral("withdrawals, by member")));
        // The other way round, each member's rows still in the list's order: Orron's before Ann's.
        QVERIFY(clickHeader(kMemberColumn, {.column = EntrySortColumn::Member, .reversed = true}));
        std::istringstream lines(byMember);
        std::string row, orron, ann;
        std::getline(lines, row);
        const std::string captions = row + '\n';
        while (std::getline(lines, row))
            (row.find(",Orron,") != std::string::npos ? orron : ann) += row + '\n';
        QVERIFY(!orron.empty() && !ann.empty());
        QCOMPARE(exported(), captions + orron + ann);
        for (const auto& [column, word] :
             {std::pair{kCountColumn, "count"}, std::pair{kGoldColumn, "gold"}, std::pair{kItemColumn, "item"}}) {
            QVERIFY(clickHeader(column, *EntrySortNamed(word)));
            QCOMPARE(exported(), cli({"--sort", word}));
        }
        QVERIFY(clickHeader(kTimeColumn, {}));
        QVERIFY(clickHeader(kTimeColumn, {.column = EntrySortColumn::Time, .reversed = true}));
        QCOMPARE(exported(), cli({"--sort", "time"}));
        // A sort survives a refresh.
        QVERIFY(clickHeader(kGoldColumn, *EntrySortNamed("gold")));
        harness.click("cmdLedgerRefresh");
        QVERIFY(harness.ledgerIdle());
        QVERIFY(RunUntil([&] { return model->counted(); }, 10000));
        QCOMPARE(model->sort(), *EntrySortNamed("gold"));
        QCOMPARE(exported(), cli({"--sort", "gold"}));
        // Past the most rows a sort takes, the header does not sort, and the status bar says why.
        const int rows = model->rowCount();
        model->setMostRowsSorted(static_cast<std::uint64_t>(rows - 1));
        click(kMemberColumn);
        const QString refusal =
            QStringLiteral("Narrow the list to %1 entries or fewer to sort it by Member.").arg(rows - 1);
        QVERIFY2(RunUntil([&] { return harness.status() == refusal; }, 10000), qPrintable(harness.status()));
        QCOMPARE(harness.find<QLabel>("lblLedgerStatus")->text(), refusal); // where it is seen
        QCOMPARE(model->sort(), EntrySort{});
        QCOMPARE(header->sortIndicatorSection(), int(kTimeColumn));
        QCOMPARE(exported(), cli({}));
    }

    // Closing the window while the entries are exported asks whether to wait for the export or to stop it:
    // "Stop" leaves the file as it was, and so does a signal, which asks nothing; "Wait" closes the window once
    // the file is complete. The real question offers both, and Escape waits.
    void closingDuringAnExportWaitsOrStopsIt() {
        QTemporaryDir dir;
        const QString ledger = dir.filePath(QStringLiteral("big.sqlite")), file = dir.filePath(QStringLiteral("e.csv")),
                      whole = dir.filePath(QStringLiteral("whole.csv"));
        std::ignore = AddToLedger(*OpenLedger(ledger.toStdString(), LedgerAccess::ReadWrite),
                                  bench::GenerateBankLog({.entry_count = 100'000}), {}, 0);
        const auto exportTo = [&](MainWindowHarness& harness, const QString& to) {
            harness.click("cmdLedger");
            QVERIFY(harness.ledgerIdle()); // the default ledger read
            QVERIFY(harness.chooseLedger("cmdLedgerOpen", ledger));
            harness.dialogs().saveAnswers << to;
            harness.click("cmdExportEntries");
        };
        {
            MainWindowHarness harness;
            exportTo(harness, whole);
            QVERIFY(RunUntil([&] { return QFile::exists(whole); }, 60000));
        }
        struct Case {
            const char* name;
            std::optional<bool> waits; // the answer; none: a signal closes the window
        };
        for (const auto& [name, waits] : {Case{"Stop", false}, Case{"Wait", true}, Case{"a signal", std::nullopt}}) {
            const QByteArray before = "as it was\n";
            QFile target(file);
            QVERIFY(target.open(QIODevice::WriteOnly) && target.write(before) == before.size());
            target.close();
            auto harness = std::make_unique<MainWindowHarness>();
            harness->dialogs().confirmAnswers << true; // the file may be replaced
            if (waits)
                harness->dialogs().confirmAnswers << *waits;
            exportTo(*harness, file);
            if (waits) {
                harness->window().close();
            } else {
                CloseWindowsOnSignals(); // as the program does
                ::kill(::getpid(), SIGTERM);
            }
            QVERIFY2(RunUntil([&] { return !harness->window().isVisible(); }, 60000), name);
            QCOMPARE(harness->dialogs().buttons.last(),
                     waits ? UserDialogs::Buttons::WaitStop : UserDialogs::Buttons::OkCancel);
            harness.reset();
            QVERIFY2(test::ReadAll(file) == (waits.value_or(false) ? test::ReadAll(whole) : before), name);
        }

        QtUserDialogs shown;
        for (const bool stop : {true, false}) {
            QStringList offered;
            QTimer::singleShot(0, [&offered, stop] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                for (QAbstractButton* button : box->buttons()) {
                    offered << button->text();
                    if (stop && button->text() == u"&Stop")
                        button->click();
                }
                if (!stop)
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QCOMPARE(shown.confirm(nullptr, QStringLiteral("Coffer"), QStringLiteral("Wait?"),
                                   UserDialogs::Buttons::WaitStop),
                     !stop);
            offered.sort();
            QCOMPARE(offered, (QStringList{"&Stop", "&Wait"}));
        }
    }

    // Another program adds to the ledger in use, as coffer-cli --fetch on a timer does: the panel follows
    // by itself, the Entries list keeping its place.
    void followsWhatAnotherProgramAdds() {
        MainWindowHarness harness;
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        const QString ledger = harness.folder() + QStringLiteral("/guild.sqlite");
        QVERIFY(harness.chooseLedger("cmdLedgerNew", ledger));
        const QString failure = test::SeeAnAddElsewhere(harness, [&](const std::string& page) {
            QProcess cli;
            cli.start(QStringLiteral(COFFER_CLI),
                      {QStringLiteral("--ledger"), ledger, QStringLiteral("--add"),
                       harness.writeFile(QStringLiteral("other.xml"), QByteArray::fromStdString(page))});
            QVERIFY(cli.waitForFinished(60000) && cli.exitCode() == 0);
        });
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    // The list's model keeps Qt's contract for models as it counts a filter, reads the pages asked for
    // (every look at a row not read yet asks for its page), and is read again after the ledger grew.
    void theEntriesModelKeepsItsContract() {
        QTemporaryDir dir;
        const std::string file = dir.filePath(QStringLiteral("guild.sqlite")).toStdString();
        const auto page = [](int from, int to, int copies) {
            std::string log;
            for (int i = from; i < to; ++i)
                for (int copy = 0; copy < (i % 50 == 0 ? copies : 1); ++copy)
                    log += "<banklog money=\"1\" player=\"P" + std::to_string(i % 7) + "\" ts=\"" +
                           std::to_string(1'000'000'000'000LL - i * 1000LL) + "\" type=\"4\"/>\n";
            return log;
        };
        const std::unique_ptr<LedgerStore> writer = OpenLedger(file, LedgerAccess::ReadWrite);
        std::ignore = AddToLedger(*writer, page(0, 4000, 1), {}, 0);
        EntryListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto read = [&](int row) {
            model.index(row, 0).data();
            return RunUntil([&] { return model.holds(row); }, 10000);
        };
        model.setLedger(file);
        QTRY_VERIFY_WITH_TIMEOUT(model.counted(), 10000);
        QCOMPARE(model.rowCount(), 4000);
        for (int row : {0, 3999, 2000, 150, 999})
            QVERIFY(read(row));
        model.setFilter({.search = "p3"});
        QTRY_VERIFY_WITH_TIMEOUT(model.counted(), 10000);
        QCOMPARE(model.rowCount(), 571);
        QVERIFY(read(300) && read(299));
        // Every fiftieth entry twice more, and entries from 4000 to 5000 among them: of P3, one in seven.
        std::ignore = AddToLedger(*writer, page(0, 5000, 3), {}, 0);
        std::vector<std::optional<int>> found;
        int added = -1;
        model.reread({300, 299}, [&](const std::vector<std::optional<int>>& rows, int count) {
            found = rows;
            added = count;
        });
        QTRY_VERIFY_WITH_TIMEOUT(added >= 0, 10000);
        QCOMPARE(added, 143 + 2 * 14);
        QCOMPARE(model.rowCount(), 571 + added);
        QVERIFY(found[0] && found[1]);
        QCOMPARE(*found[0], *found[1] + 1);
        QVERIFY(model.holds(*found[0]) && read(model.rowCount() - 1));
        model.setFilter({});
        QTRY_VERIFY_WITH_TIMEOUT(model.counted(), 10000);
        QCOMPARE(model.rowCount(), 5000 + 2 * 100);
        QVERIFY(read(5199));
    }

    // In the smallest window every control of the panel has the room it asks for, the ledger's name at
    // least 400 pixels, the time line at most 120 pixels high, and a notice of two lines moves no button.
    void fitsTheSmallestWindow() {
        MainWindowHarness harness;
        harness.window().resize(1024, 700);
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        auto* panel = harness.find<QWidget>("FrameLedger");
        QList<QRect> buttons[2]; // without a notice, then with one
        for (QList<QRect>& placed : buttons) {
            for (const QPushButton* button : panel->findChildren<QPushButton*>())
                placed << button->geometry();
            harness.find<QLabel>("lblLedgerStatus")->setText(QStringLiteral("A notice to wrap. ").repeated(20));
            panel->layout()->activate();
        }
        QCOMPARE(buttons[1], buttons[0]);
        QVERIFY(harness.find<QWidget>("txtLedgerFile")->width() >= 400);
        QVERIFY(harness.find<QWidget>("picLedgerTimeline")->height() <= 120);
        for (const QWidget* widget : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QSize least = widget->minimumSizeHint();
            QVERIFY2(!widget->isVisible() || (widget->width() >= least.width() && widget->height() >= least.height()),
                     qPrintable(widget->objectName() + widget->metaObject()->className()));
        }
    }
};

} // namespace coffer

// Root may write any file: the test runs as nobody, for whom a read-only folder is read-only.
int main(int argc, char** argv) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 1;
    QApplication application(argc, argv);
    coffer::MainWindowLedgerTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "main_window_ledger_test.moc"
