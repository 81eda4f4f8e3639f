// SPDX-License-Identifier: MIT
// The Report panel's "Save As" and "Refresh", and the lists' export and search, after the sample
// log's analysis.

#include "analysis/tables/transaction_totals.h"
#include "report/table_export.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_table_model.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <algorithm>

namespace coffer {
namespace {

using test::ReadAll;

// The most rows any member section, or any item section (its rows link to item searches), holds;
// the NINJA LIST has no limit.
int LongestSection(const QByteArray& report, bool items) {
    int longest = 0;
    const QStringList sections =
        QString::fromUtf8(report).split(QStringLiteral("<font color="), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    for (const QString& section : sections.mid(1))
        if (section.contains(u"?search=") == items && !section.contains(u"NINJA LIST"))
            longest = std::max(longest, int(section.count(u"<img src=")));
    return longest;
}

} // namespace

class MainWindowReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MainWindowHarness> harness_;
    QByteArray report_;
    QByteArray writtenReport() const { return ReadAll(harness_->reportPath()); }

  private slots:
    void init() {
        harness_ = std::make_unique<test::MainWindowHarness>();
        QVERIFY(harness_->analyzeSampleLog());
        report_ = writtenReport();
        QCOMPARE(LongestSection(report_, false), 10);
        QCOMPARE(LongestSection(report_, true), 25);
        harness_->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness_->window()));
    }
    void cleanup() { harness_.reset(); }

    // Save As copies the report, adding ".htm" unless the name holds it, and replaces a file only when
    // the user agrees; a cancelled dialog or a single space saves nothing. It and Save Chart say what they
    // wrote.
    void saveAs() {
        const QString folder = harness_->folder() + QStringLiteral("/saved/"); // away from the report's own name
        QVERIFY(QDir().mkpath(folder));
        const QString summary = harness_->writeFile(QStringLiteral("saved/summary.htm"), "old notes");
        test::ScriptedDialogs& dialogs = harness_->dialogs();
        dialogs.saveAnswers << QString() << QStringLiteral(" ") << folder + QStringLiteral("summary") << summary;
        dialogs.confirmAnswers << false << true;
        for (int i = 0; i < 3; ++i)
            harness_->click("cmdSaveAs");
        QCOMPARE(ReadAll(summary), QByteArray("old notes"));
        QCOMPARE(dialogs.questions.size(), 1); // about summary.htm
        harness_->click("cmdSaveAs");
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"summary.htm"});
        QCOMPARE(ReadAll(summary), report_);
        QCOMPARE(harness_->status(), QStringLiteral("Wrote the report to %1.").arg(summary));
        QCOMPARE(dialogs.questions.size(), 2);
        dialogs.saveAnswers << folder + QStringLiteral("deposits");
        harness_->click("cmdSaveChart");
        QVERIFY(QFile::exists(folder + QStringLiteral("deposits.png")));
        QCOMPARE(harness_->status(), QStringLiteral("Wrote the chart to %1deposits.png.").arg(folder));
        QVERIFY(dialogs.messages.isEmpty());
    }

    // Save As, Save Chart and the exports refuse the ledger in use and its files, before any question
    // about replacing them, and leave them as they were.
    void outputsNeverReplaceTheLedger() {
        test::ScriptedDialogs& dialogs = harness_->dialogs();
        const QString ledger = harness_->folder() + QStringLiteral("/guild.htm.png"); // no name is added to it
        const QString wal = harness_->writeFile(QStringLiteral("guild.htm.png-wal"), "wal");
        QVERIFY(harness_->chooseLedger("cmdLedgerOpen", ledger));
        dialogs.messages.clear();
        const struct {
            const char* control;
            QString answer, message;
        } cases[] = {
            {"cmdSaveAs", ledger, ledger + QStringLiteral(" is the ledger itself")},
            {"cmdSaveChart", ledger, ledger + QStringLiteral(" is the ledger itself")},
            {"mnuExportMembers", wal, wal + QStringLiteral(" is a file of the ledger")},
            {"mnuExportItems", ledger + QStringLiteral("-journal"), QStringLiteral("-journal is a file of the ledger")},
        };
        for (const auto& c : cases) {
            dialogs.saveAnswers << c.answer;
            harness_->click(c.control);
            QVERIFY2(!dialogs.messages.isEmpty() && dialogs.messages.takeLast().endsWith(c.message), c.control);
        }
        QVERIFY(dialogs.questions.isEmpty());
        QCOMPARE(ReadAll(wal), QByteArray("wal"));
        QCOMPARE(QDir(harness_->folder()).entryList({QStringLiteral("guild*")}), QStringList{"guild.htm.png-wal"});
    }

    // Typing filters the item list on Item or Name; an export writes the whole list in its current
    // order, whatever the search hides, and replaces a file only when the user agrees; a failed write
    // says so. A member's items show through the member list's context menu until the search is
    // cleared. Ctrl+F goes to the search of the list in use.
    void searchHidesRowsThatAnExportStillWrites() {
        harness_->click("Command5");
        auto* search = harness_->find<QLineEdit>("txtFindItem");
        QTest::keyClicks(harness_->find<QLineEdit>("txtFindMember"), QStringLiteral("zo"));
        QTest::keyClicks(search, QStringLiteral("ZO"));
        emit harness_->find<StatsListView>("ListView2")->horizontalHeader()->sectionClicked(3);
        const StatsTableModel* members = harness_->window().memberModel();
        const StatsTableModel* items = harness_->window().itemModel();
        for (const QString& row : test::Shown(items, {kItem, kItemMember}))
            QVERIFY(row.contains(u"zo", Qt::CaseInsensitive));
        QVERIFY(items->rowCount() > 0 && items->rowCount() < int(items->table().rowCount()));
        QVERIFY(members->rowCount() < int(members->table().rowCount()));
        const auto csv = [](const StatsTableModel* list) {
            return QByteArray::fromStdString(TableText(list->table(), TableFormat::Csv));
        };
        const QString target = harness_->folder() + QStringLiteral("/list.csv");
        const QString taken = harness_->folder() + QStringLiteral("/taken"); // a folder
        QVERIFY(QDir().mkpath(taken + QStringLiteral("/inside")));
        harness_->dialogs().saveAnswers << target << target << target << taken;
        harness_->dialogs().confirmAnswers << false << true;
        harness_->click("mnuExportMembers");
        harness_->click("mnuExportItems");
        QCOMPARE(ReadAll(target), csv(members));
        harness_->click("mnuExportItems");
        QCOMPARE(ReadAll(target), csv(items));
        QCOMPARE(harness_->status(), QStringLiteral("Wrote %1 items to %2.")
                                         .arg(QLocale(QLocale::English).toString(items->table().rowCount()), target));
        QCOMPARE(harness_->dialogs().questions.size(), 2);
        QVERIFY(harness_->dialogs().messages.isEmpty());
        harness_->click("mnuExportItems");
        QCOMPARE(harness_->dialogs().warnings.size(), 1);
        QVERIFY(QDir(taken + QStringLiteral("/inside")).exists());

        auto* memberList = harness_->find<StatsListView>("ListView1");
        memberList->selectRow(0);
        const QString member = memberList->model()->index(0, kCharacter).data().toString();
        harness_->click("mnuMemberItems");
        QCOMPARE(search->text(), member);
        QCOMPARE(test::Shown(items, {kItemMember}), QStringList(std::max(items->rowCount(), 1), member));
        QVERIFY(!harness_->find<QLabel>("lblFindItem")->text().startsWith(u"Find"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Backspace);
        QCOMPARE(items->rowCount(), int(items->table().rowCount()));
        for (const char* list : {"ListView2", "ListView1"}) {
            harness_->find(list)->setFocus();
            QTest::keyClick(&harness_->window(), Qt::Key_F, Qt::ControlModifier);
            QCOMPARE(QApplication::focusWidget(),
                     harness_->find(list == QLatin1String("ListView1") ? "txtFindMember" : "txtFindItem"));
        }
    }

    // The limits are typed into the boxes as a user would and reach the report at Refresh alone; a box
    // never completes what was typed, and a limit that is not a whole number from 0 to 32767 gets a
    // message instead of a report.
    void refreshUsesTheLimitsAsTyped() {
        const auto type = [this](const char* box, const QString& text) {
            auto* limit = harness_->find<QComboBox>(box);
            limit->setFocus();
            QTest::keyClick(limit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(limit, text);
            harness_->find("cmdRefresh")->setFocus(); // leaves the box
            harness_->click("Command2");
            return limit->currentText() == text;
        };
        QVERIFY(type("cmbPlayers", QStringLiteral("3")) && type("cmbItems", QStringLiteral("2")));
        QCOMPARE(writtenReport(), report_);
        harness_->click("cmdRefresh");
        const QByteArray refreshed = writtenReport();
        QCOMPARE(LongestSection(refreshed, false), 3);
        QCOMPARE(LongestSection(refreshed, true), 2);
        QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame4"));
        QVERIFY(type("cmbItems", QStringLiteral("25 items")));
        harness_->click("cmdRefresh");
        QVERIFY(type("cmbItems", QStringLiteral("2")) && type("cmbPlayers", QStringLiteral("100000")));
        harness_->click("cmdRefresh");
        QCOMPARE(harness_->dialogs().messages,
                 (QStringList{"\"25 items\" is not a number. Please enter a whole number of items per section.",
                              "\"100000\" is out of range. Please enter a whole number of players per section from 0 "
                              "to 32767."}));
        QCOMPARE(writtenReport(), refreshed);
        QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame1"));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowReportTest)
#include "main_window_report_test.moc"
