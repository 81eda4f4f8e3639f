// The Report panel's "Save As" and "Refresh", and the lists' export and search, after the sample
// log's analysis.

#include "analysis/transaction_totals.h"
#include "report/table_export.h"
#include "tests/ui/support/form1_harness.h"
#include "ui/stats_list_view.h"
#include "ui/stats_table_model.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

namespace coffer {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

// The item list's rows shown, Item and Name, and whether each holds `text` (in Name alone: as a whole).
QStringList ShownItems(const QAbstractItemModel* model, const QString& text, bool wholeName) {
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString item = model->index(row, kItem).data().toString();
        const QString name = model->index(row, kItemMember).data().toString();
        const bool holds = wholeName ? name.compare(text, Qt::CaseInsensitive) == 0
                                     : (item + u'\t' + name).contains(text, Qt::CaseInsensitive);
        rows << item + u'\t' + name + (holds ? "" : " (does not hold it)");
    }
    return rows;
}

} // namespace

class Form1ReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Form1Harness> harness_;
    QByteArray report_;
    QByteArray writtenReport() const { return ReadAll(harness_->folder() + QStringLiteral("/report.html")); }

  private slots:
    void init() {
        harness_ = std::make_unique<test::Form1Harness>();
        QVERIFY(harness_->importFile(QStringLiteral(COFFER_EXAMPLES "/sample-banklog.xml")));
        QVERIFY(harness_->analyze(60000));
        report_ = writtenReport();
        QCOMPARE(LongestSection(report_, false), 10);
        QCOMPARE(LongestSection(report_, true), 25);
    }
    void cleanup() { harness_.reset(); }

    void saveAs_data() {
        QTest::addColumn<QString>("chosen"); // in the dialog; blank: cancelled
        QTest::addColumn<bool>("existing");  // summary.htm is there already
        QTest::addColumn<bool>("overwrite"); // the answer to the overwrite question
        QTest::addColumn<QString>("saved");  // the file the report is copied to, if any
        const char* const rows[][5] = {{"no extension gets .htm", "summary", "", "", "summary.htm"},
                                       {"overwrite answered Cancel", "summary.htm", "y", "", ""},
                                       {"overwrite answered OK", "summary.htm", "y", "y", "summary.htm"},
                                       {"asked about the name with .htm", "summary", "y", "", ""},
                                       {"dialog cancelled", "", "y", "y", ""},
                                       {"a single space is a cancel", " ", "y", "y", ""}};
        for (const auto& [name, chosen, existing, overwrite, saved] : rows)
            QTest::newRow(name) << chosen << (*existing == 'y') << (*overwrite == 'y') << saved;
    }

    void saveAs() {
        QFETCH(QString, chosen);
        QFETCH(bool, existing);
        QFETCH(bool, overwrite);
        QFETCH(QString, saved);
        const QString folder = harness_->folder() + QStringLiteral("/saved/"); // away from the report's own name
        QVERIFY(QDir().mkpath(folder));
        if (existing)
            harness_->writeFile(QStringLiteral("saved/summary.htm"), "old notes");
        const bool answered = !chosen.trimmed().isEmpty();
        harness_->dialogs().saveAnswers << (answered ? folder + chosen : chosen);
        harness_->dialogs().confirmAnswers << overwrite;
        harness_->click("cmdSaveAs");
        QStringList files{saved, existing ? QStringLiteral("summary.htm") : QString()};
        files.removeAll(QString());
        files.removeDuplicates();
        QCOMPARE(QDir(folder).entryList(QDir::Files), files);
        QCOMPARE(ReadAll(folder + (existing ? QStringLiteral("summary.htm") : saved)),
                 saved.isEmpty() ? QByteArray("old notes") : report_);
        QCOMPARE(harness_->dialogs().questions.size(), existing && answered ? 1 : 0);
        QVERIFY(harness_->dialogs().messages.isEmpty());
    }

    // The whole list in its current order, whatever the search hides; a failed write says so.
    void exportWritesTheWholeListAsCsv_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("members");
        QTest::addColumn<bool>("fails"); // the chosen name is a folder
        QTest::newRow("members") << "mnuExportMembers" << true << false;
        QTest::newRow("items") << "mnuExportItems" << false << false;
        QTest::newRow("write fails") << "mnuExportItems" << false << true;
    }

    void exportWritesTheWholeListAsCsv() {
        QFETCH(QString, action);
        QFETCH(bool, members);
        QFETCH(bool, fails);
        QTest::keyClicks(harness_->find<QLineEdit>("txtFindMember"), QStringLiteral("zo"));
        QTest::keyClicks(harness_->find<QLineEdit>("txtFindItem"), QStringLiteral("zo"));
        emit harness_->find<StatsListView>("ListView2")->horizontalHeader()->sectionClicked(3);
        const QString target = harness_->folder() + (fails ? QStringLiteral("/taken") : QStringLiteral("/list.csv"));
        if (fails)
            QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        harness_->dialogs().saveAnswers << target;
        harness_->dialogs().confirmAnswers << true;
        harness_->trigger(action.toLatin1().constData());
        const StatsTableModel* list = members ? harness_->window().memberModel() : harness_->window().itemModel();
        QVERIFY(list->rowCount() < int(list->table().rowCount()));
        QCOMPARE(harness_->dialogs().messages.size(), fails ? 1 : 0);
        if (fails)
            QVERIFY(QDir(target + QStringLiteral("/inside")).exists());
        else
            QCOMPARE(ReadAll(target), QByteArray::fromStdString(TableText(list->table(), TableFormat::Csv)));
    }

    // Typing filters the item list on Item or Name; a member's items show through the member list's
    // context menu until the search is cleared. Ctrl+F goes to the search of the list in use.
    void searchAndAMembersItems() {
        harness_->click("Command5");
        auto* search = harness_->find<QLineEdit>("txtFindItem");
        const StatsTableModel* items = harness_->window().itemModel();
        QTest::keyClicks(search, QStringLiteral("ZO"));
        QVERIFY(!ShownItems(items, QStringLiteral("ZO"), false).join(u'|').contains(u"(does not"));
        QVERIFY(items->rowCount() > 0 && items->rowCount() < int(items->table().rowCount()));

        auto* members = harness_->find<StatsListView>("ListView1");
        members->selectRow(1);
        const QString member = members->model()->index(1, kCharacter).data().toString();
        harness_->trigger("mnuMemberItems");
        QCOMPARE(search->text(), member);
        QVERIFY(!ShownItems(items, member, true).join(u'|').contains(u"(does not"));
        QVERIFY(items->rowCount() > 0);
        QVERIFY(!harness_->find<QLabel>("lblFindItem")->text().startsWith(u"Find"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Backspace);
        QCOMPARE(items->rowCount(), int(items->table().rowCount()));

        harness_->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness_->window()));
        for (const char* list : {"ListView2", "ListView1"}) {
            harness_->find(list)->setFocus();
            QTest::keyClick(&harness_->window(), Qt::Key_F, Qt::ControlModifier);
            QCOMPARE(QApplication::focusWidget(),
                     harness_->find(list == QLatin1String("ListView1") ? "txtFindMember" : "txtFindItem"));
        }
    }

    // The limits are typed into the boxes as a user would; a box never completes what was typed.
    void refreshUsesTheLimitsAsTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("players"); // the longest sections of the report afterwards
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("message");
        const QString range = QStringLiteral(" per section from 0 to 32767.");
        QTest::newRow("players not completed") << "cmbPlayers"
                                               << "3" << 3 << 25 << QString();
        QTest::newRow("items not completed") << "cmbItems"
                                             << "2" << 10 << 2 << QString();
        QTest::newRow("not a number") << "cmbItems"
                                      << "25 items" << 10 << 25
                                      << "\"25 items\" is not a number. Please enter a whole number of items per "
                                         "section.";
        QTest::newRow("too large") << "cmbPlayers"
                                   << "100000" << 10 << 25
                                   << "\"100000\" is out of range. Please enter a whole number of players" + range;
        QTest::newRow("negative") << "cmbItems"
                                  << "-1" << 10 << 25
                                  << "\"-1\" is out of range. Please enter a whole number of items" + range;
    }

    void refreshUsesTheLimitsAsTyped() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(int, players);
        QFETCH(int, items);
        QFETCH(QString, message);
        harness_->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness_->window()));
        auto* limit = harness_->find<QComboBox>(box.toLatin1().constData());
        limit->setFocus();
        QTest::keyClick(limit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(limit, typed);
        harness_->find("cmdRefresh")->setFocus(); // leaves the box
        QCOMPARE(limit->currentText(), typed);
        QCOMPARE(writtenReport(), report_); // only Refresh writes the report again
        harness_->click("Command2");
        harness_->click("cmdRefresh");
        QCOMPARE(harness_->dialogs().messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(LongestSection(writtenReport(), false), players);
        QCOMPARE(LongestSection(writtenReport(), true), items);
        if (!message.isEmpty())
            QCOMPARE(writtenReport(), report_);
        QCOMPARE(harness_->visiblePanel(), message.isEmpty() ? QStringLiteral("Frame4") : QStringLiteral("Frame1"));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::Form1ReportTest)
#include "form1_report_test.moc"
