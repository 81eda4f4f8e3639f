// "Analyze now" and what follows: the lists, the report and the pages it links to, the item lookup.

#include "analysis/web_item_prices.h"
#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/time_zone.h"
#include "tests/ui/support/form1_harness.h"
#include "ui/item_lookup_services.h"
#include "ui/stats_list_view.h"
#include "ui/stats_table_model.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace coffer {
namespace {

using test::Form1Harness;
constexpr int kTimeoutMs = 60000;
constexpr char kSampleLog[] = COFFER_EXAMPLES "/sample-banklog.xml";

// A list's rows (the given columns, or all), tab-separated and sorted.
QStringList Rows(const QAbstractItemModel* model, QList<int> columns = {}) {
    for (int column = columns.isEmpty() ? 0 : model->columnCount(); column < model->columnCount(); ++column)
        columns << column;
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column : columns)
            cells << model->index(row, column).data().toString();
        rows << cells.join(u'\t');
    }
    rows.sort();
    return rows;
}

// The table the command line tool recorded for the sample log, without its captions, sorted.
QStringList RecordedRows(const char* name) {
    QFile file(QStringLiteral(COFFER_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts).mid(1);
    rows.sort();
    return rows;
}

QUrl ReportUrl(const Form1Harness& harness) {
    return QUrl::fromLocalFile(harness.folder() + QStringLiteral("/report.html"));
}

bool AnalyzeSampleLog(Form1Harness& harness) {
    return harness.importFile(QString::fromLatin1(kSampleLog)) && harness.analyze(kTimeoutMs);
}

} // namespace

class Form1AnalysisTest : public QObject {
    Q_OBJECT

  private slots:
    void sampleLogFillsTheListsAndAnEmptyBoxEmptiesThem() {
        Form1Harness harness;
        QSignalSpy reports(&harness.window(), &Form1::reportWritten);
        QSignalSpy progress(harness.find<QProgressBar>("progressAnalysis"), &QProgressBar::valueChanged);
        auto* report = harness.find<QWebEngineView>("WebBrowser2");
        for (int run = 1; run <= 2; ++run) { // nothing accumulates from one run to the next
            progress.clear();
            QVERIFY(run == 2 ? harness.analyze(kTimeoutMs) : AnalyzeSampleLog(harness));
            QVERIFY(progress.contains(QVariantList{100})); // the share of the log scanned
            QCOMPARE(Rows(harness.window().memberModel()), RecordedRows("sample-members.tsv"));
            QCOMPARE(Rows(harness.window().itemModel()), RecordedRows("sample-items.tsv"));
            QCOMPARE(harness.find<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Complete"));
            QCOMPARE(reports.count(), run);
            QVERIFY(QDir(harness.folder()).entryList({QStringLiteral("temp*")}).isEmpty());
            QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame4"));
            QVERIFY(test::RunUntil([&] { return report->url() == ReportUrl(harness) && !report->page()->isLoading(); },
                                   kTimeoutMs));
            QVERIFY(harness.dialogs().messages.isEmpty());
        }
        harness.find<QPlainTextEdit>("Text1")->clear(); // an empty box clears the lists, writing no report
        QVERIFY(QFile::remove(ReportUrl(harness).toLocalFile()) && harness.analyze(kTimeoutMs));
        QCOMPARE(harness.dialogs().messages, QStringList{"No XML data detected"});
        QCOMPARE(harness.window().memberModel()->rowCount() + harness.window().itemModel()->rowCount(), 0);
        QVERIFY(!QFile::exists(ReportUrl(harness).toLocalFile()));
    }

    // Links in the report to the armory and the item database, and a member's double-click, open in
    // the Browser panel.
    void pagesOpenInTheBrowserPanel_data() {
        QTest::addColumn<QString>("link");
        QTest::newRow("member on the armory") << QStringLiteral("a[href*='character-sheet']");
        QTest::newRow("item on the item database") << QStringLiteral("a[href*='?search=']");
        QTest::newRow("member double-click") << QString();
    }

    void pagesOpenInTheBrowserPanel() {
        QFETCH(QString, link);
        Form1Harness harness;
        QVERIFY(AnalyzeSampleLog(harness));
        auto* report = harness.find<QWebEngineView>("WebBrowser2");
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        QVERIFY(test::RunUntil([&] { return report->url() == ReportUrl(harness) && !report->page()->isLoading(); },
                               kTimeoutMs));
        QString href;
        if (link.isEmpty()) {
            harness.click("Command5");
            // Through the search, so that the list's row differs from the table's.
            QTest::keyClicks(harness.find<QLineEdit>("txtFindMember"), QStringLiteral("zo"));
            auto* members = harness.find<StatsListView>("ListView1");
            const QModelIndex zoe = members->model()->match(members->model()->index(0, 0), Qt::DisplayRole,
                                                            QString::fromUtf8("Zo\xC3\xAB"))[0];
            members->selectRow(zoe.row());
            emit members->doubleClicked(zoe);
            href = QStringLiteral("http://armory.localhost/character-sheet.xml?r=Silver%20Hand&n=Zo%C3%AB");
        } else {
            report->page()->runJavaScript(
                QStringLiteral("(function(){ var a = document.querySelector(\"%1\"); a.click(); return a.href; })()")
                    .arg(link),
                [&href](const QVariant& result) { href = result.toString(); });
            QVERIFY(test::RunUntil([&href] { return !href.isEmpty(); }, kTimeoutMs));
        }
        QVERIFY(test::RunUntil([&] { return browser->url() == QUrl(href); }, kTimeoutMs));
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
        QCOMPARE(report->url(), ReportUrl(harness));
    }

    // The site answers an item's double-click later, after the lists were refilled; a newer
    // double-click supersedes an older one still waiting.
    void itemPageArrivesAfterTheListsChanged() {
        testing::LoreholdSite site;
        for (const auto& [name, number] : {std::pair{"Iron Nails", "123"}, {"Frost Lotus", "77"}})
            site.setPage(testing::SearchTarget(name), testing::Page(testing::SearchPageLinking(name, number)));
        Form1Services services;
        services.itemPageAddress = ItemPageResolver(site.base());
        Form1Harness harness(std::move(services));
        auto* text = harness.find<QPlainTextEdit>("Text1");
        text->setPlainText(
            QString::fromStdString(testing::BankLog({{"Ann", "1", "Iron Nails", 20}, {"Cyd", "1", "Frost Lotus"}})));
        QVERIFY(harness.analyze(kTimeoutMs));
        auto* items = harness.find<StatsListView>("ListView2");
        auto doubleClick = [items](const char* item) {
            const QModelIndex found = items->model()->match(items->model()->index(0, 0), Qt::DisplayRole, item)[0];
            items->selectRow(found.row());
            emit items->doubleClicked(found);
        };
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        const QUrl nails(QString::fromStdString(site.base()) + "/?item=123");
        site.setDelay(std::chrono::milliseconds(4000));
        doubleClick("Frost Lotus");
        QVERIFY(test::RunUntil([&] { return site.requestCount() >= 1; }, kTimeoutMs));
        site.setDelay(std::chrono::milliseconds(2000));
        // The lists are refilled while the item's search page is on its way.
        QTimer::singleShot(0, &harness.window(), [&] {
            text->setPlainText(QString::fromStdString(testing::BankLog({{"Bob", "2", "Copper Ore"}})));
            harness.click("cmdAnalyze");
        });
        harness.click("Command5");
        doubleClick("Iron Nails");
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame3")); // the window did not wait for the site
        QVERIFY(test::RunUntil([&] { return Rows(harness.window().itemModel(), {0}) == QStringList{"Copper Ore"}; },
                               kTimeoutMs));
        QVERIFY(test::RunUntil([&] { return browser->url() == nails; }, kTimeoutMs));
        const QUrl lotus(QString::fromStdString(site.base()) + "/?item=77");
        QVERIFY(!test::RunUntil([&] { return browser->url() == lotus; }, 3000)); // superseded
    }

    // A period leaves out the entries outside it and those without a time; an entry pasted again on a
    // later page counts twice until the offered option says once; a period that ends before it starts
    // gets a message and no run.
    void periodAndPagesPastedTwice() {
        const testing::ScopedTimeZone utc("UTC0");
        Form1Harness harness;
        const std::string bob = "<banklog money=\"20000\" player=\"Bob\" ts=\"1230552000000\" type=\"4\"/>\n";
        harness.find<QPlainTextEdit>("Text1")->setPlainText(QString::fromStdString(
            "<?xml version=\"1.0\"?>\n<banklog money=\"10000\" player=\"Ann\" ts=\"1230465600000\" type=\"4\"/>\n" +
            bob + "<?xml version=\"1.0\"?>\n" + bob +
            "<banklog money=\"30000\" player=\"Cyd\" ts=\"1230638400000\" type=\"4\"/>\n"
            "<banklog money=\"40000\" player=\"Dee\" type=\"4\"/>\n"));
        harness.find<QCheckBox>("chkPeriod")->setChecked(true);
        harness.find<QDateEdit>("dtpFrom")->setDate(QDate(2008, 12, 29));
        harness.find<QDateEdit>("dtpTo")->setDate(QDate(2008, 12, 30));
        QVERIFY(!harness.find("chkRepeatedOnce")->isVisibleTo(harness.find("Frame6")));
        QVERIFY(harness.analyze(kTimeoutMs));
        QCOMPARE(Rows(harness.window().memberModel(), {kCharacter, kGoldDeposits}),
                 (QStringList{"Bob\t+00004.00", "Cyd\t+00003.00"}));
        QCOMPARE(harness.find<QLabel>("StatusBar1Panel1")->text(),
                 QStringLiteral("Complete. 2 entries outside the period were left out. 1 entries appear on more than "
                                "one page"));

        auto* once = harness.find<QCheckBox>("chkRepeatedOnce");
        QVERIFY(once->isVisibleTo(harness.find("Frame6")));
        once->setChecked(true);
        QVERIFY(harness.analyze(kTimeoutMs));
        QCOMPARE(Rows(harness.window().memberModel(), {kCharacter, kGoldDeposits}),
                 (QStringList{"Bob\t+00002.00", "Cyd\t+00003.00"}));

        harness.find<QDateEdit>("dtpTo")->setDate(QDate(2008, 12, 28));
        QVERIFY(harness.analyze(kTimeoutMs));
        QCOMPARE(harness.dialogs().messages.size(), 1);
        QVERIFY(harness.dialogs().messages[0].startsWith(u"The period ends on"));
        QCOMPARE(harness.window().memberModel()->rowCount(), 2); // no run
    }

    // While a run goes on nothing starts a second one; "Cancel" puts back the lists, the report and the
    // chart as they were before it.
    void cancelledRunLeavesEverythingAsItWas() {
        testing::LoreholdSite site;
        site.setPage(testing::SearchTarget("Iron Nails"), {.fault = testing::Fault::NeverAnswers});
        Form1Services services;
        services.priceSource = WebPriceSources(site.base());
        Form1Harness harness(std::move(services));
        QVERIFY(AnalyzeSampleLog(harness));
        const QStringList members = Rows(harness.window().memberModel());
        const QStringList items = Rows(harness.window().itemModel());
        const QByteArray report = [&] {
            QFile file(ReportUrl(harness).toLocalFile());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QSignalSpy reports(&harness.window(), &Form1::reportWritten);

        harness.find<QPlainTextEdit>("Text1")->setPlainText(
            QString::fromStdString(testing::BankLog({{"Ann", "1", "Iron Nails", 2}})));
        harness.find<QCheckBox>("chkLorehold")->setChecked(true);
        harness.click("cmdAnalyze");
        QVERIFY(test::RunUntil([&site] { return site.requestCount() == 1; }, kTimeoutMs));
        const auto idle = [&harness] {
            QList<bool> states{harness.find("progressAnalysis")->isHidden()};
            for (const char* action : {"mnuImport", "mnuExportMembers", "mnuExportItems"})
                states << harness.window().findChild<QAction*>(QLatin1String(action))->isEnabled();
            for (const char* control : {"cmdAnalyze", "Command8", "cmdRefresh", "cmdSaveAs"})
                states << harness.find(control)->isEnabled();
            return states;
        };
        QCOMPARE(idle(), QList<bool>(8, false));
        harness.click("cmdAnalyze");
        harness.trigger("mnuImport");
        // A file dropped while the run goes on is refused, the text left as it is.
        auto* text = harness.find<QPlainTextEdit>("Text1");
        const QString typed = text->toPlainText();
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(harness.writeFile(QStringLiteral("more.xml"), "<?xml more"))});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(harness.window()).eventFilter(text->viewport(), &drop);
        QVERIFY(harness.find<QLabel>("StatusBar1Panel1")->text().startsWith(u"Files cannot be imported"));
        QCOMPARE(text->toPlainText(), typed);

        QVERIFY(harness.find("cmdCancel")->isVisible());
        harness.click("cmdCancel");
        QVERIFY(test::RunUntil([&] { return harness.find("cmdAnalyze")->isEnabled(); }, 5000));
        QCOMPARE(harness.find<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Cancelled"));
        QCOMPARE(Rows(harness.window().memberModel()), members);
        QCOMPARE(Rows(harness.window().itemModel()), items);
        QFile written(ReportUrl(harness).toLocalFile());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), report);
        QCOMPARE(reports.count(), 0); // the chart is drawn after reports only
        QVERIFY(!harness.find("cmdCancel")->isVisible());
        QCOMPARE(idle(), QList<bool>(8, true));
        QCOMPARE(site.requestCount(), 1);
        QVERIFY(harness.dialogs().messages.isEmpty());
    }

    // Closing the window while item lookups wait on a site that never answers ends it at once.
    void closingDuringItemLookupsIsImmediate() {
        testing::LoreholdSite site;
        std::vector<testing::Entry> entries;
        for (int i = 0; i < 2 * kMaxDownloadsInFlight; ++i) {
            entries.push_back({"Ann", "1", "Item " + std::to_string(i)});
            site.setPage(testing::SearchTarget(entries.back().itemName), {.fault = testing::Fault::NeverAnswers});
        }
        Form1Services services;
        services.priceSource = WebPriceSources(site.base());
        auto harness = std::make_unique<Form1Harness>(std::move(services));
        harness->find<QPlainTextEdit>("Text1")->setPlainText(QString::fromStdString(testing::BankLog(entries)));
        harness->find<QCheckBox>("chkLorehold")->setChecked(true);
        harness->click("cmdAnalyze");
        QVERIFY(test::RunUntil([&site] { return site.requestCount() == kMaxDownloadsInFlight; }, kTimeoutMs));
        QElapsedTimer closing;
        closing.start();
        harness->window().close();
        harness.reset();
        QCOMPARE_LT(closing.elapsed(), 1000);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::Form1AnalysisTest)
#include "form1_analysis_test.moc"
