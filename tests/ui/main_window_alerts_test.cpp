// SPDX-License-Identifier: MIT
// "Rules and alerts" in the window: a rule added through the tab's form fires on the window's add and on
// another program's, and each alert is told once (and posted to the webhook, of the window's own adds): as a desktop
// notice (through the window's seam of the notification service), in the status, and as "Guild Ledger (!)" until the
// tab shows; "Show these entries" lands the Entries list on the member's day; "Check on history" counts without
// storing. Also what the form writes of each kind, and which days an alert's entries are.

#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/ledger/rules_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace coffer {

using test::MainWindowHarness;

namespace {

// 2008-12-03 and 2008-12-04 at 10:00 UTC: the same days in every zone from UTC-10 to UTC+13.
constexpr qint64 kThirdAtTen = 1228298400000, kFourthAtTen = 1228384800000;

std::string GoldWithdrawn(const std::string& member, int copper, qint64 ts) {
    return "<?xml version=\"1.0\"?>\n<page><guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n"
           "<banklog money=\"" +
           std::to_string(copper) + "\" player=\"" + member + "\" rank=\"4\" ts=\"" + std::to_string(ts) +
           "\" type=\"5\"/>\n</page>\n";
}

// A chat service's webhook: each post's body on a line of its standard output, after the port's.
constexpr const char* kChatService = R"(
import http.server
class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        print(self.rfile.read(int(self.headers["Content-Length"])).decode(), flush=True)
        self.send_response(204)
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Hook)
print(server.server_port, flush=True)
server.serve_forever()
)";

QString DayOf(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).date().toString(Qt::ISODate);
}

} // namespace

class MainWindowAlertsTest : public QObject {
    Q_OBJECT
  private slots:
    void aRuleFiresAndIsToldOnce() {
        QStringList notices;
        MainWindowServices services;
        services.desktopNotice = [&](const QString& summary, const QString& body) { notices << summary + u'|' + body; };
        MainWindowHarness harness(services);
        QProcess chat;
        chat.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kChatService)});
        while (!chat.canReadLine())
            QVERIFY(chat.waitForReadyRead(20000));
        const QString hook = QStringLiteral("http://127.0.0.1:%1/hooks/secret").arg(chat.readLine().trimmed());
        harness.click("cmdLedger");
        auto* lists = harness.find<QTabWidget>("tabLedgerLists");
        lists->setCurrentWidget(harness.find<QWidget>("tabRules"));
        // The webhook's address is the user's secret, kept where only the user can read it.
        auto* webhook = harness.find<QLineEdit>("txtAlertWebhook");
        webhook->setText(hook);
        emit webhook->editingFinished();
        const QFileInfo kept(harness.folder() + QStringLiteral("/alert-webhook.txt"));
        QCOMPARE(test::ReadAll(kept.filePath()), hook.toUtf8() + '\n');
        QVERIFY(!(kept.permissions() & (QFile::ReadGroup | QFile::ReadOther)));

        // An entry of the last 30 days, in the ledger before the rule.
        QVERIFY(harness.ledgerIdle() &&
                harness.addToLedger(GoldWithdrawn("Cato", 20000, QDateTime::currentMSecsSinceEpoch() - 172800000)));
        harness.find<QComboBox>("cmbRuleKind")->setCurrentIndex(static_cast<int>(AlertKind::Gold));
        harness.find<QLineEdit>("txtRuleAmount")->setText(QStringLiteral("1g 50s"));
        const QString rule = QStringLiteral("gold withdrawn over 1g 50s a day");
        QCOMPARE(harness.find<QLabel>("lblRuleText")->text(), QStringLiteral("The rule: ") + rule);
        harness.click("btnAddRule");
        auto* rules = harness.find<QTreeWidget>("lstRules");
        QTRY_COMPARE(rules->topLevelItemCount(), 1);
        QCOMPARE(rules->topLevelItem(0)->text(1), rule);
        harness.click("btnCheckRules"); // what it would have fired, stored nowhere: no alert, no notice
        QTRY_COMPARE(rules->topLevelItem(0)->text(2), QStringLiteral("1"));

        // Told while the Entries tab shows.
        lists->setCurrentWidget(harness.find<QWidget>("tabLedgerEntries"));
        QVERIFY(harness.addToLedger(GoldWithdrawn("Orron", 20000, kThirdAtTen) +
                                    GoldWithdrawn("Brenna", 15000, kThirdAtTen)));
        const QString line = DayOf(kThirdAtTen) + QStringLiteral(": Orron withdrew 2g 00s 00c (rule 1: ") + rule + u')';
        QTRY_COMPARE(notices, QStringList{QStringLiteral("Guild ledger alert|") + line});
        QTRY_VERIFY(chat.canReadLine());
        QCOMPARE(QString::fromUtf8(chat.readLine()), QStringLiteral("{\"content\": \"%1\"}\n").arg(line));
        QCOMPARE(harness.status(), QStringLiteral("ALERT ") + line);
        QVERIFY(harness.find<QLabel>("lblLedgerStatus")->text().endsWith(u'\n' + QStringLiteral("ALERT ") + line));
        auto* navigation = harness.find<QPushButton>("cmdLedger");
        QCOMPARE(navigation->text(), QStringLiteral("Guild Ledger (!)"));
        QVERIFY2(navigation->toolTip().contains(line), qPrintable(navigation->toolTip()));

        // Another program's add, heard by the window's look at the ledger, is told the same way, once.
        {
            const std::unique_ptr<LedgerStore> other =
                OpenLedger(harness.folder().toStdString() + "/ledger.sqlite", LedgerAccess::ReadWrite);
            std::ignore = AddToLedger(*other, GoldWithdrawn("Brenna", 30000, kFourthAtTen), "other", NowMs());
        }
        QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 2, 15000);
        QVERIFY2(notices.last().contains(u": Brenna withdrew 3g 00s 00c"), qPrintable(notices.last()));
        QVERIFY2(navigation->toolTip().startsWith(u"2 new alerts"), qPrintable(navigation->toolTip()));
        // Another program posts its own alerts: the next post is of the window's next add.
        QVERIFY(harness.addToLedger(GoldWithdrawn("Orron", 20000, kFourthAtTen)));
        QTRY_VERIFY(chat.canReadLine());
        QVERIFY2(chat.readLine().contains(DayOf(kFourthAtTen).toUtf8() + ": Orron"), "not the window's alert");

        lists->setCurrentWidget(harness.find<QWidget>("tabRules"));
        QCOMPARE(navigation->text(), QStringLiteral("Guild Ledger"));
        auto* alerts = harness.find<QTreeWidget>("lstAlerts");
        QTRY_COMPARE(alerts->topLevelItemCount(), 3);
        QCOMPARE(rules->topLevelItem(0)->text(2), QStringLiteral("1")); // read again after each add, still checked
        QCOMPARE(alerts->topLevelItem(2)->text(1), line);               // newest first
        alerts->setCurrentItem(alerts->topLevelItem(2));
        harness.click("btnShowAlertEntries");
        QCOMPARE(lists->currentWidget(), harness.find<QWidget>("tabLedgerEntries"));
        QTRY_COMPARE(harness.find<QLabel>("lblEntryCount")->text(),
                     QStringLiteral("1 entries: Orron, %1 to %1").arg(DayOf(kThirdAtTen)));
        QCOMPARE(notices.size(), 3);
        chat.kill();
        chat.waitForFinished();
    }

    void theFormWritesEachKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<bool>("checked"); // repairs, the items' tab, the tab's rank
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isRule");
        QTest::newRow("gold") << 0 << "500g" << false << "gold withdrawn over 500g a day" << true;
        QTest::newRow("gold and repairs")
            << 0 << "75s 38c" << true << "gold withdrawn or repaired over 75s 38c a day" << true;
        QTest::newRow("gold, no amount") << 0 << "lots" << false << "gold withdrawn over lots a day" << false;
        QTest::newRow("items") << 1 << "100" << false << "items withdrawn over 100 a day" << true;
        QTest::newRow("items of a tab") << 1 << "100" << true << "items withdrawn over 100 a day from tab 5" << true;
        QTest::newRow("tab") << 2 << "" << false << "any withdrawal from tab 5" << true;
        QTest::newRow("tab and rank") << 2 << "" << true << "any withdrawal from tab 5 by rank 3 or below" << true;
        QTest::newRow("newcomer") << 3 << "" << false << "withdrawals with no deposit ever" << true;
        QTest::newRow("gap") << 4 << "9" << true << "a gap opened" << true;
    }
    void theFormWritesEachKind() {
        QFETCH(int, kind);
        QFETCH(QString, amount);
        QFETCH(bool, checked);
        QFETCH(QString, text);
        QFETCH(bool, isRule);
        RulesTab tab;
        tab.findChild<QComboBox*>(QStringLiteral("cmbRuleKind"))->setCurrentIndex(kind);
        tab.findChild<QLineEdit*>(QStringLiteral("txtRuleAmount"))->setText(amount);
        tab.findChild<QSpinBox*>(QStringLiteral("spnRuleTab"))->setValue(5);
        for (const char* box : {"chkRuleRepairs", "chkRuleTab", "chkRuleRank"})
            if (auto* shown = tab.findChild<QCheckBox*>(QLatin1String(box)); !shown->isHidden() && shown->isEnabled())
                shown->setChecked(checked);
        QCOMPARE(tab.findChild<QLabel*>(QStringLiteral("lblRuleText"))->text(),
                 (isRule ? QStringLiteral("The rule: ") : QStringLiteral("Not a rule yet: ")) + text);
        QCOMPARE(tab.findChild<QPushButton*>(QStringLiteral("btnAddRule"))->isEnabled(), isRule);
    }

    void anAlertsEntriesAreItsMembersOfItsDays() {
        const QDate third(2008, 12, 3), monday(2008, 12, 29);
        const struct {
            std::int64_t rule;
            const char* member;
            const char* day;
            const char* line;
            AlertEntries entries;
        } cases[] = {
            {1,
             "Orron",
             "2008-12-03",
             "2008-12-03: Orron withdrew 612g 40s 00c (rule 1: gold withdrawn over 500g a day)",
             {"Orron", std::pair{third, third}}},
            {2,
             "Orron",
             "2009-W01",
             "2009-W01: Orron withdrew 140 items (rule 2: items withdrawn over 100 a week)",
             {"Orron", std::pair{monday, monday.addDays(6)}}},
            {4,
             "Orron",
             "2008-12-03",
             "2008-12-03: Orron has withdrawn and never deposited (rule 4: withdrawals with no "
             "deposit ever)",
             {"Orron", std::nullopt}},
            {5,
             "",
             "2008-12-03",
             "2008-12-03 06:32:26 to 2008-12-03 09:10:00: entries may be missing (rule 5: a gap "
             "opened)",
             {std::nullopt, std::pair{third, third}}},
            // A rule the line names wrongly counts as one of days.
            {4,
             "Orron",
             "2008-12-03",
             "2008-12-03: Orron (rule 3: withdrawals with no deposit ever)",
             {"Orron", std::pair{third, third}}},
        };
        for (const auto& [rule, member, day, line, entries] : cases)
            QVERIFY2(EntriesOfAlert({.rule = rule, .member = member, .day = day, .line = line, .firedAt = 0}) ==
                         entries,
                     line);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowAlertsTest)
#include "main_window_alerts_test.moc"
