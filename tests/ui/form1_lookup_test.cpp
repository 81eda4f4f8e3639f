// The item lookup from the window, against the local item database site: item values for a run with
// "Look up item values" ticked, and the page an item's double-click opens.

#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "tests/ui/support/form1_harness.h"
#include "ui/item_lookup_services.h"
#include "ui/stats_list_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QWebEngineView>

using namespace coffer;
using test::Form1Harness;

class Form1LookupTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void itemValuesComeFromTheSiteOnlyWhenAsked_data();
    void itemValuesComeFromTheSiteOnlyWhenAsked();
    void itemDoubleClickOpensTheItemsPage_data();
    void itemDoubleClickOpensTheItemsPage();

  private:
    std::unique_ptr<testing::LoreholdSite> site_;
    std::unique_ptr<Form1Harness> harness_;
};

namespace {

// The item list's rows as "item|value|number".
QStringList ItemRows(const Form1Harness& harness) {
    QStringList rows;
    const QAbstractItemModel* model = harness.find<StatsListView>("ListView2")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << QStringList{model->index(row, 0).data().toString(), model->index(row, 3).data().toString(),
                            model->index(row, 6).data().toString()}
                    .join(u'|');
    rows.sort();
    return rows;
}

} // namespace

void Form1LookupTest::init() {
    site_ = std::make_unique<testing::LoreholdSite>();
    site_->setPage(testing::SearchTarget("Iron Nails"), testing::Page(testing::SearchPageLinking("Iron Nails", "123")));
    site_->setPage(testing::ItemTarget("123"), testing::Page(testing::ItemPageWithPrices(12, 5, 3, 0)));
    Form1Services services;
    services.priceSource = WebPriceSources(site_->base());
    services.itemPageAddress = ItemPageResolver(site_->base());
    harness_ = std::make_unique<Form1Harness>(std::move(services));
    harness_->find<QPlainTextEdit>("Text1")->setPlainText(QString::fromStdString(testing::BankLog({
        {"Ann", "1", "Iron Nails", 20},
        {"Bob", "2", "Iron Nails", 5},
        {"Cyd", "1", "Frost Lotus", 1},
    })));
}

void Form1LookupTest::cleanup() {
    harness_.reset();
    site_.reset();
}

void Form1LookupTest::itemValuesComeFromTheSiteOnlyWhenAsked_data() {
    QTest::addColumn<bool>("lookUp");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("requests");
    // Iron Nails: search page and item page, once for both entries; Frost Lotus: a search that finds nothing.
    QTest::newRow("ticked") << true
                            << QStringList{"Frost Lotus|00000.00|", "Iron Nails|00012.05|123",
                                           "Iron Nails|00012.05|123"}
                            << 3;
    QTest::newRow("not ticked") << false
                                << QStringList{"Frost Lotus|00000.00|", "Iron Nails|00000.00|", "Iron Nails|00000.00|"}
                                << 0;
}

void Form1LookupTest::itemValuesComeFromTheSiteOnlyWhenAsked() {
    QFETCH(bool, lookUp);
    harness_->find<QCheckBox>("chkLorehold")->setChecked(lookUp);
    QVERIFY(harness_->analyze(60000));
    QTEST(ItemRows(*harness_), "rows");
    QTEST(site_->requestCount(), "requests");
    QCOMPARE(harness_->find<QLabel>("StatusBar1Panel1")->text(), QStringLiteral("Complete"));
}

void Form1LookupTest::itemDoubleClickOpensTheItemsPage_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("page");
    QTest::newRow("linked from the search page") << "Iron Nails"
                                                 << "/?item=123";
    QTest::newRow("not found: the search page") << "Frost Lotus"
                                                << "/?search=Frost+Lotus";
}

void Form1LookupTest::itemDoubleClickOpensTheItemsPage() {
    QFETCH(QString, item);
    QFETCH(QString, page);
    QVERIFY(harness_->analyze(60000));
    auto* items = harness_->find<StatsListView>("ListView2");
    const QModelIndexList found = items->model()->match(items->model()->index(0, 0), Qt::DisplayRole, item);
    QVERIFY(!found.isEmpty());
    items->selectRow(found[0].row());
    emit items->doubleClicked(found[0]);
    const QUrl expected(QString::fromStdString(site_->base()) + page);
    auto* browser = harness_->find<QWebEngineView>("WebBrowser1");
    QVERIFY(test::RunUntil([&] { return browser->url() == expected; }, 30000));
    QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame1"));
}

QTEST_MAIN(Form1LookupTest)
#include "form1_lookup_test.moc"
