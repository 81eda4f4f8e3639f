// SPDX-License-Identifier: MIT
// "Analyze now" and what follows: the lists, the report and the pages it links to, the item lookup.

#include "analysis/lookup/web_item_prices.h"
#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/browser_panel.h"
#include "ui/item_lookup_services.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_table_model.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace coffer {
namespace {

using test::MainWindowHarness;
using test::ReadAll;
using test::RunUntil;
constexpr int kTimeoutMs = 60000;

// The rows a list shows, sorted.
QStringList Rows(const QAbstractItemModel* model, const QList<int>& columns = {}) {
    QStringList rows = test::Shown(model, columns);
    rows.sort();
    return rows;
}

// The table the command line tool recorded for the sample log, without its captions, sorted.
QStringList RecordedRows(const char* name) {
    const QByteArray table = ReadAll(QStringLiteral(COFFER_TEST_DATA "/") + QLatin1String(name));
    QStringList rows = QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts).mid(1);
    rows.sort();
    return rows;
}

void DoubleClick(const MainWindowHarness& harness, const char* list, const QString& firstCell) {
    auto* view = harness.find<StatsListView>(list);
    const QModelIndex found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, firstCell)[0];
    view->selectRow(found.row());
    emit view->doubleClicked(found);
}

// Starts a run that looks up `count` items on `site`, which never answers; true once lookups wait.
bool StartLookups(MainWindowHarness& harness, testing::LoreholdSite& site, int count) {
    const int before = site.requestCount();
    std::vector<testing::Entry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({"Ann", "1", "Item " + std::to_string(i)});
        site.setPage(ItemSearchAddress("", entries.back().itemName), {.fault = testing::Fault::NeverAnswers});
    }
    harness.setLog(testing::BankLog(entries));
    harness.find<QCheckBox>("chkLorehold")->setChecked(true);
    harness.click("cmdAnalyze");
    const int waiting = before + std::min(count, kMaxDownloadsInFlight);
    return RunUntil([&site, waiting] { return site.requestCount() == waiting; }, kTimeoutMs);
}

// A click on the widget as the window system hands it in: waiting in the queue behind what came before.
void PostClick(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
}

} // namespace

class MainWindowAnalysisTest : public QObject {
    Q_OBJECT

  private slots:
    // The sample log fills the lists and shows the report, whose links to the armory and the item
    // database open in the Browser panel as a member's double-click does. A second run gives the same
    // lists, a period runs over its days alone, an empty box empties the lists.
    void sampleLogFillsTheListsAndShowsTheReport() {
        MainWindowHarness harness;
        QSignalSpy progress(harness.find<QProgressBar>("progressAnalysis"), &QProgressBar::valueChanged);
        QVERIFY(harness.analyzeSampleLog() && harness.analyze());
        QVERIFY(progress.contains(QVariantList{100})); // the share of the run done
        QCOMPARE(Rows(harness.window().memberModel()), RecordedRows("sample-members.tsv"));
        QCOMPARE(Rows(harness.window().itemModel()), RecordedRows("sample-items.tsv"));
        QCOMPARE(harness.status(), QStringLiteral("Complete"));
        QVERIFY(QDir(harness.folder())
                    .entryList({QStringLiteral("temp*"), QStringLiteral(".report*")}, QDir::Hidden | QDir::Files)
                    .isEmpty());
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame4"));
        auto* report = harness.find<QWebEngineView>("WebBrowser2");
        const QUrl written = QUrl::fromLocalFile(harness.reportPath());
        QVERIFY(RunUntil([&] { return report->url() == written && !report->page()->isLoading(); }, kTimeoutMs));
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        const auto opens = [&](const QString& href) {
            return RunUntil([&] { return browser->url() == QUrl(href); }, kTimeoutMs) &&
                   harness.visiblePanel() == u"Frame1";
        };
        for (const char* link : {"a[href*='character-sheet']", "a[href*='?search=']"}) {
            QString href;
            report->page()->runJavaScript(
                QStringLiteral("(function(){ var a = document.querySelector(\"%1\"); a.click(); return a.href; })()")
                    .arg(QLatin1String(link)),
                [&href](const QVariant& result) { href = result.toString(); });
            QVERIFY(RunUntil([&href] { return !href.isEmpty(); }, kTimeoutMs) && opens(href));
        }
        QCOMPARE(report->url(), written);
        harness.click("Command5");
        // Through the search, so that the list's row differs from the table's.
        QTest::keyClicks(harness.find<QLineEdit>("txtFindMember"), QStringLiteral("zo"));
        DoubleClick(harness, "ListView1", QString::fromUtf8("Zo\xC3\xAB"));
        QVERIFY(opens(QStringLiteral("http://armory.localhost/character-sheet.xml?r=Silver%20Hand&n=Zo%C3%AB")));
    }

    void periodLeavesEntriesOutAndInputWithoutEntriesWritesNoReport() {
        MainWindowHarness harness;
        QVERIFY(harness.analyzeSampleLog());
        harness.find<QCheckBox>("chkPeriod")->setChecked(true); // all but the log's first day
        harness.find<QDateEdit>("dtpFrom")->setDate(QDate(2008, 7, 1));
        harness.find<QDateEdit>("dtpTo")->setDate(QDate(2010, 1, 2));
        QVERIFY(harness.analyze() && harness.window().memberModel()->rowCount() > 0);
        QCOMPARE(harness.status(), QStringLiteral("Complete. 1 entries outside the period were left out"));
        harness.setLog({}); // an empty box, or a period that ends before it starts: no run, no report
        QVERIFY(QFile::remove(harness.reportPath()));
        harness.find<QDateEdit>("dtpFrom")->setDate(QDate(2010, 1, 3));
        QVERIFY(harness.analyze());
        harness.find<QCheckBox>("chkPeriod")->setChecked(false);
        QVERIFY(harness.analyze());
        QVERIFY(harness.dialogs().messages.value(0).startsWith(u"The period ends on"));
        QCOMPARE(harness.dialogs().messages.mid(1), QStringList{"No XML data detected"}); // the lists emptied
        QCOMPARE(harness.window().memberModel()->rowCount() + harness.window().itemModel()->rowCount(), 0);
        QVERIFY(!QFile::exists(harness.reportPath()));
    }

    // The site answers an item's double-click later, after the lists were refilled; a newer
    // double-click supersedes an older one still waiting.
    void itemPageArrivesAfterTheListsChanged() {
        testing::LoreholdSite site;
        for (const auto& [name, number] : {std::pair{"Iron Nails", "123"}, {"Frost Lotus", "77"}})
            site.setPage(ItemSearchAddress("", name), testing::Page(testing::SearchPageLinking(name, number)));
        MainWindowServices services;
        services.itemPageAddress = ItemPageResolver(site.base());
        MainWindowHarness harness(std::move(services));
        harness.setLog(testing::BankLog({{"Ann", "1", "Iron Nails", 20}, {"Cyd", "1", "Frost Lotus"}}));
        QVERIFY(harness.analyze());
        site.setDelay(std::chrono::milliseconds(4000));
        DoubleClick(harness, "ListView2", QStringLiteral("Frost Lotus"));
        QVERIFY(RunUntil([&] { return site.requestCount() >= 1; }, kTimeoutMs));
        site.setDelay(std::chrono::milliseconds(2000));
        // The lists are refilled while the item's search page is on its way.
        QTimer::singleShot(0, &harness.window(), [&harness] {
            harness.setLog(testing::BankLog({{"Bob", "2", "Copper Ore"}}));
            harness.click("cmdAnalyze");
        });
        harness.click("Command5");
        DoubleClick(harness, "ListView2", QStringLiteral("Iron Nails"));
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame3")); // the window did not wait for the site
        QVERIFY(
            RunUntil([&] { return Rows(harness.window().itemModel(), {0}) == QStringList{"Copper Ore"}; }, kTimeoutMs));
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        QVERIFY(RunUntil([&] { return browser->url().toString().endsWith(u"/?item=123"); }, kTimeoutMs));
        QVERIFY(!RunUntil([&] { return browser->url().toString().endsWith(u"/?item=77"); }, 3000)); // superseded
    }

    // While a run goes on nothing starts a second one, and dropped files and bank log pages are
    // refused; "Cancel" takes the progress and itself off the status bar, painted, before anything else,
    // then puts back at once the lists as they were shown, the report and the chart as they were before
    // it, and the focus where it was. A click on Cancel while it shows cancels even when the run ends
    // before the click is handled. Closing the window while item lookups wait on a site that never
    // answers ends it at once.
    void cancelledRunLeavesEverythingAsItWas() {
        testing::LoreholdSite site;
        MainWindowServices services;
        services.priceSource = WebPriceSources(site.base());
        auto harness = std::make_unique<MainWindowHarness>(std::move(services));
        QSignalSpy loaded(harness->find<QWebEngineView>("WebBrowser2"), &QWebEngineView::loadFinished);
        QVERIFY(harness->analyzeSampleLog());
        QVERIFY(!loaded.isEmpty() || loaded.wait(kTimeoutMs)); // the run's own report is in before the spying
        const QStringList members = Rows(harness->window().memberModel());
        const QStringList items = Rows(harness->window().itemModel());
        const QByteArray report = ReadAll(harness->reportPath());
        QSignalSpy reports(&harness->window(), &MainWindow::reportWritten);
        QSignalSpy reloads(harness->find<QWebEngineView>("WebBrowser2"), &QWebEngineView::loadStarted);
        auto* memberList = harness->find<StatsListView>("ListView1");
        emit memberList->horizontalHeader()->sectionClicked(2);
        memberList->setColumnWidth(0, 3000); // room to scroll
        memberList->selectRow(2);
        memberList->horizontalScrollBar()->setValue(700);
        const auto shown = [memberList] {
            const auto state = memberList->viewState();
            return QVariantList{QVariant::fromValue(state.columnWidths), state.selectedRow.value_or(-1),
                                state.horizontalScroll, memberList->horizontalHeader()->sortIndicatorSection()};
        };
        const QVariantList before = shown();
        harness->click("Command4");
        harness->find("cmdAnalyze")->setFocus();
        QVERIFY(StartLookups(*harness, site, 1));
        const auto idle = [&harness] {
            QList<bool> states{harness->find("progressAnalysis")->isHidden(), !harness->find("cmdCancel")->isVisible()};
            for (const char* action : {"mnuImport", "mnuExportMembers", "mnuExportItems"})
                states << harness->window().findChild<QAction*>(QLatin1String(action))->isEnabled();
            for (const char* control : {"cmdAnalyze", "Command8", "cmdRefresh", "cmdSaveAs"})
                states << harness->find(control)->isEnabled();
            return states;
        };
        QCOMPARE(idle(), QList<bool>(9, false));
        harness->click("cmdAnalyze");
        harness->click("mnuImport");
        auto* text = harness->find<QPlainTextEdit>("Text1");
        const QString typed = text->toPlainText();
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(harness->writeFile(QStringLiteral("more.xml"), "<?xml more"))});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(harness->window()).eventFilter(text->viewport(), &drop);
        QVERIFY(harness->status().startsWith(u"Files cannot be imported"));
        emit harness->find<BrowserPanel>("Frame1")->bankLogPageFetched(QStringLiteral("<?xml page"));
        QVERIFY(harness->status().startsWith(u"The page cannot be added"));
        QCOMPARE(text->toPlainText(), typed);

        const auto settled = [&harness] {
            return QVariantList{harness->status(), harness->find("progressAnalysis")->isHidden(),
                                harness->find("cmdCancel")->isHidden()};
        };
        const QVariantList cancelled{QStringLiteral("Cancelled"), true, true};
        bool paintedSettled = false;
        const test::EventWatch paints(harness->find("StatusBar1"), QEvent::Paint,
                                      [&] { paintedSettled |= settled() == cancelled; });
        QVariantList atPutBack; // the status bar as the lists begin to come back
        const auto putBack = connect(harness->window().memberModel(), &QAbstractItemModel::modelAboutToBeReset, [&] {
            if (atPutBack.isEmpty())
                atPutBack = settled() << paintedSettled;
        });
        harness->click("cmdCancel");
        QCOMPARE(atPutBack, cancelled + QVariantList{true});
        disconnect(putBack);
        const auto cancelledAsBefore = [&] {
            QVERIFY(RunUntil([&] { return harness->find("cmdAnalyze")->isEnabled(); }, 5000));
            QCOMPARE(harness->status(), QStringLiteral("Cancelled"));
            QCOMPARE(harness->visiblePanel(), QStringLiteral("Frame3"));
            QCOMPARE(shown(), before);
            QCOMPARE(QApplication::focusWidget(), harness->find("cmdAnalyze"));
            QCOMPARE(reloads.count(), 0);
            QCOMPARE(Rows(harness->window().memberModel()), members);
            QCOMPARE(Rows(harness->window().itemModel()), items);
            QCOMPARE(ReadAll(harness->reportPath()), report);
            QCOMPARE(reports.count(), 0); // the chart is drawn after reports only
            QCOMPARE(idle(), QList<bool>(9, true));
            QVERIFY(harness->dialogs().messages.isEmpty());
        };
        cancelledAsBefore();
        QCOMPARE(site.requestCount(), 1);

        // The report is written and the run's thread has ended when the click, made while Cancel showed,
        // is handled.
        auto* bar = harness->find<QProgressBar>("progressAnalysis");
        const QString written =
            harness->folder() + QStringLiteral("/.report.html.run-%1").arg(QCoreApplication::applicationPid());
        QMetaObject::Connection late;
        late = connect(bar, &QProgressBar::valueChanged, [&](int percent) {
            if (percent < 100)
                return;
            disconnect(late);
            harness->window().analysisJob().waitForEnd(); // the run's end now waits in the queue ahead of the click
            QVERIFY(QFile::exists(written));
            PostClick(harness->find("cmdCancel"));
        });
        harness->find<QCheckBox>("chkLorehold")->setChecked(false);
        harness->click("cmdAnalyze");
        QCOMPARE(harness->status(), QString()); // not the last run's "Cancelled"
        cancelledAsBefore();
        QVERIFY(!QFile::exists(written));

        QVERIFY(StartLookups(*harness, site, 2 * kMaxDownloadsInFlight));
        QElapsedTimer closing;
        closing.start();
        harness->window().close();
        harness.reset();
        QCOMPARE_LT(closing.elapsed(), 1000);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowAnalysisTest)
#include "main_window_analysis_test.moc"
