// "Analyze now" and what follows: the lists, the report view and its links, the double-clicks.

#include "analysis/transaction_totals.h"
#include "banklog_generator.h"
#include "report/html_report.h"
#include "report/report_file.h"
#include "tests/ui/support/form1_harness.h"
#include "ui/charts/chart_model.h"
#include "ui/stats_list_view.h"
#include "ui/stats_table_model.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace coffer;
using test::Form1Harness;

class Form1AnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void analysisFillsTheListsAndShowsTheReport_data();
    void analysisFillsTheListsAndShowsTheReport();
    void textsWithoutEntries_data();
    void textsWithoutEntries();
    void nothingStartsASecondRunWhileOneIsGoing();
    void reportLinksToTheSitesOpenInTheBrowserPanel_data();
    void reportLinksToTheSitesOpenInTheBrowserPanel();
    void doubleClicksOpenMemberAndItemPages();

  private:
    static QByteArray GeneratedLog();
};

namespace {

constexpr int kRunTimeoutMs = 60000;

QString Text1(const Form1Harness& harness) {
    return harness.find<QPlainTextEdit>("Text1")->toPlainText();
}

// The engine's own run over the same text, with the report ranking the tables and the deposits chart
// sorting the member list as the window's do.
GuildStats Reference(const QString& text, const QString& folder, GuildStats start = {}) {
    const ProductConfig product = LoadProductConfig();
    const ReportSettings settings{
        10, 25, Form1Harness::kArmory, Form1Harness::kItemDatabase, product.programName, product.website, "now"};
    AnalysisHooks hooks;
    hooks.generateReport = [&] { return GenerateReport(start, settings, folder.toStdString() + "/reference.html"); };
    RunAnalysis(text.toStdString(), start, folder.toStdString(), hooks);
    BuildChart(start.members, kDepositsEntry); // the deposits chart after the report sorts the member list
    return start;
}

void CompareTables(const StatsTable& shown, const StatsTable& expected) {
    QCOMPARE(shown.rowCount(), expected.rowCount());
    QCOMPARE(shown.sortKey(), expected.sortKey());
    QCOMPARE(shown.direction(), expected.direction());
    for (std::size_t row = 0; row < shown.rowCount(); ++row)
        for (std::size_t column = 0; column < shown.columnCount(); ++column)
            QCOMPARE(shown.cell(row, column), expected.cell(row, column));
}

bool WaitForUrl(QWebEngineView* view, const QUrl& url) {
    return test::RunUntil([view, url] { return view->url() == url; }, kRunTimeoutMs);
}

bool WaitForLoad(QWebEngineView* view, const QUrl& url) {
    return test::RunUntil([view, url] { return view->url() == url && !view->page()->isLoading(); }, kRunTimeoutMs);
}

} // namespace

QByteArray Form1AnalysisTest::GeneratedLog() {
    bench::BankLogGeneratorOptions options;
    options.entry_count = 600;
    options.member_count = 30;
    options.item_count = 80;
    options.realm = "Stone Harbor";
    return QByteArray::fromStdString(bench::GenerateBankLog(options));
}

void Form1AnalysisTest::analysisFillsTheListsAndShowsTheReport_data() {
    QTest::addColumn<QString>("logFile");
    QTest::newRow("generated log") << QString();
    QTest::newRow("sample log") << QStringLiteral(COFFER_EXAMPLES "/sample-banklog.xml");
}

void Form1AnalysisTest::analysisFillsTheListsAndShowsTheReport() {
    QFETCH(QString, logFile);
    if (!logFile.isEmpty() && !QFile::exists(logFile))
        QSKIP("no sample log");
    Form1Harness harness;
    if (logFile.isEmpty())
        logFile = harness.writeFile(QStringLiteral("log.xml"), GeneratedLog());
    QVERIFY(harness.importFile(logFile));
    QSignalSpy reports(&harness.window(), &Form1::reportWritten);

    GuildStats expected;
    for (int run = 1; run <= 2; ++run) { // nothing accumulates from one run to the next
        QVERIFY(harness.analyze(kRunTimeoutMs));
        expected = Reference(Text1(harness), harness.folder(), std::move(expected));
        const GuildStats& shown = harness.window().stats();
        QVERIFY(shown.members.rowCount() > 0);
        QVERIFY(shown.items.rowCount() > 0);
        CompareTables(shown.members, expected.members);
        CompareTables(shown.items, expected.items);
        QCOMPARE(shown.guild.realm, expected.guild.realm);
        QCOMPARE(harness.window().memberModel()->rowCount(), int(expected.members.rowCount()));
        QCOMPARE(harness.window().itemModel()->rowCount(), int(expected.items.rowCount()));

        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame4"));
        QCOMPARE(harness.find<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Complete"));
        QCOMPARE(reports.count(), run);
        QVERIFY(QFile::exists(harness.folder() + QStringLiteral("/report.html")));
        QVERIFY(QDir(harness.folder()).entryList({QStringLiteral("temp*")}).isEmpty());
        QVERIFY(WaitForLoad(harness.find<QWebEngineView>("WebBrowser2"),
                            QUrl::fromLocalFile(harness.folder() + QStringLiteral("/report.html"))));
        QVERIFY(harness.dialogs().messages.isEmpty());
    }
}

void Form1AnalysisTest::textsWithoutEntries_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("reportWritten");
    QTest::newRow("empty box") << QString() << QStringList{"No XML data detected"} << false;
    QTest::newRow("no xml") << QStringLiteral("<banklog player=\"Ann\" type=\"4\" money=\"5\"/>")
                            << QStringList{"No XML data detected"} << false;
    QTest::newRow("xml without entries") << QStringLiteral("<?XML version=\"1.0\"?><page/>") << QStringList{} << true;
}

void Form1AnalysisTest::textsWithoutEntries() {
    QFETCH(QString, text);
    Form1Harness harness;
    // Results of an earlier run are cleared by the next one.
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), GeneratedLog())));
    QVERIFY(harness.analyze(kRunTimeoutMs));
    QVERIFY(harness.window().memberModel()->rowCount() > 0);
    QFile::remove(harness.folder() + QStringLiteral("/report.html"));

    harness.find<QPlainTextEdit>("Text1")->setPlainText(text);
    QVERIFY(harness.analyze(kRunTimeoutMs));
    QTEST(harness.dialogs().messages, "messages");
    if (!harness.dialogs().titles.isEmpty())
        QCOMPARE(harness.dialogs().titles[0], QStringLiteral("Coffer"));
    QCOMPARE(harness.window().memberModel()->rowCount(), 0);
    QCOMPARE(harness.window().itemModel()->rowCount(), 0);
    QCOMPARE(harness.window().stats().guild.realm, std::string("Unknown"));
    QTEST(QFile::exists(harness.folder() + QStringLiteral("/report.html")), "reportWritten");
}

void Form1AnalysisTest::nothingStartsASecondRunWhileOneIsGoing() {
    Form1Harness harness;
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), GeneratedLog())));
    emit harness.find<StatsListView>("ListView1")->horizontalHeader()->sectionClicked(0); // nothing to sort yet
    QSignalSpy reports(&harness.window(), &Form1::reportWritten);
    harness.click("cmdAnalyze");
    // The run goes on in the background: right after the click it is still in progress.
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame3"));
    QVERIFY(!harness.window().stats().members.sorted());
    for (const char* control : {"cmdAnalyze", "Command8", "cmdRefresh", "cmdSaveAs"})
        QVERIFY2(!harness.find(control)->isEnabled(), control);
    QVERIFY(!harness.window().findChild<QAction*>(QStringLiteral("mnuImport"))->isEnabled());
    QVERIFY(harness.find<QProgressBar>("progressAnalysis")->isVisible());
    harness.find<QPushButton>("cmdAnalyze")->click();
    harness.trigger("mnuImport");
    QVERIFY(harness.dialogs().messages.isEmpty());

    QVERIFY(test::RunUntil([&harness] { return harness.find("cmdAnalyze")->isEnabled(); }, kRunTimeoutMs));
    QCOMPARE(reports.count(), 1);
    for (const char* control : {"Command8", "cmdRefresh", "cmdSaveAs"})
        QVERIFY2(harness.find(control)->isEnabled(), control);
    QVERIFY(harness.window().findChild<QAction*>(QStringLiteral("mnuImport"))->isEnabled());
    QVERIFY(!harness.find<QProgressBar>("progressAnalysis")->isVisible());
}

void Form1AnalysisTest::reportLinksToTheSitesOpenInTheBrowserPanel_data() {
    QTest::addColumn<QString>("linkSelector");
    QTest::addColumn<bool>("toBrowserPanel");
    QTest::newRow("member on the armory") << QStringLiteral("a[href*='character-sheet']") << true;
    QTest::newRow("item on the item database") << QStringLiteral("a[href*='?search=']") << true;
    QTest::newRow("the maker's site") << QStringLiteral("a[href*='coffer']") << false;
}

void Form1AnalysisTest::reportLinksToTheSitesOpenInTheBrowserPanel() {
    QFETCH(QString, linkSelector);
    QFETCH(bool, toBrowserPanel);
    Form1Harness harness;
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), GeneratedLog())));
    QVERIFY(harness.analyze(kRunTimeoutMs));
    auto* report = harness.find<QWebEngineView>("WebBrowser2");
    auto* browser = harness.find<QWebEngineView>("WebBrowser1");
    const QUrl reportUrl = QUrl::fromLocalFile(harness.folder() + QStringLiteral("/report.html"));
    QVERIFY(WaitForLoad(report, reportUrl));
    const QUrl before = QUrl::fromLocalFile(harness.folder() + QStringLiteral("/html/help.html")); // Quickstart

    QString href;
    report->page()->runJavaScript(
        QStringLiteral("(function(){ var a = document.querySelector(\"%1\"); a.click(); return a.href; })()")
            .arg(linkSelector),
        [&href](const QVariant& result) { href = result.toString(); });
    QVERIFY(test::RunUntil([&href] { return !href.isEmpty(); }, kRunTimeoutMs));
    if (toBrowserPanel) {
        QVERIFY(test::RunUntil([&] { return browser->url() == QUrl(href); }, kRunTimeoutMs));
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
        QCOMPARE(report->url(), reportUrl);
    } else {
        QVERIFY(test::RunUntil([&] { return report->url() != reportUrl; }, kRunTimeoutMs));
        QCOMPARE(report->url(), QUrl(href));
        QCOMPARE(browser->url(), before);
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame4"));
    }
}

void Form1AnalysisTest::doubleClicksOpenMemberAndItemPages() {
    Form1Harness harness;
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), GeneratedLog())));
    QVERIFY(harness.analyze(kRunTimeoutMs));
    auto* browser = harness.find<QWebEngineView>("WebBrowser1");
    auto* members = harness.find<StatsListView>("ListView1");
    auto* items = harness.find<StatsListView>("ListView2");
    const QUrl start = browser->url();

    harness.click("Command5");
    emit members->doubleClicked(members->model()->index(0, 0)); // no row selected: nothing happens
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame3"));
    QCOMPARE(browser->url(), start);

    members->selectRow(2);
    emit members->doubleClicked(members->model()->index(2, 0));
    const QString member = members->model()->index(2, 0).data().toString();
    QVERIFY(WaitForUrl(
        browser, QUrl(QStringLiteral("http://armory.localhost/character-sheet.xml?r=Stone%20Harbor&n=") + member)));
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));

    harness.click("Command5");
    items->selectRow(1);
    emit items->doubleClicked(items->model()->index(1, 3));
    QString search = items->model()->index(1, 0).data().toString();
    search.replace(u' ', u'+');
    QVERIFY(WaitForUrl(browser, QUrl(QStringLiteral("http://www.lorehold.localhost/?search=") + search)));
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
}

QTEST_MAIN(Form1AnalysisTest)
#include "form1_analysis_test.moc"
