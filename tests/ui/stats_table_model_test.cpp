// SPDX-License-Identifier: MIT
// The list model presents the engine's table; its view forwards header clicks to the table's sort.

#include "analysis/tables/transaction_totals.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_table_model.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

namespace coffer {

class StatsTableModelTest : public QObject {
    Q_OBJECT

    StatsTable table_ = MakeItemTable();

  private slots:
    void init() {
        table_ = MakeItemTable();
        table_.appendRow({"Briarhide", "00001", "20", "00003.50", "Deposit", "Ann", ""});
        table_.appendRow({"Apple", "00050", "3", "00120.00", "Withdrawal", "Bob", "77"});
        table_.appendRow({"Copper Ore", "00010", "100", "00000.00", "Deposit", "Cyd", ""});
    }

    // A new table's direction is descending, so the first click sorts ascending; the direction belongs
    // to the list, so a click on another column flips it too. Clicks on an empty list change nothing.
    void headerClicksFlipTheListsDirection_data() {
        QTest::addColumn<QList<int>>("clicks"); // columns; -1 empties the list, as a new run does
        QTest::addColumn<QString>("names");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<int>("indicator"); // the column it shows; -1: none shown
        QTest::newRow("one click") << QList<int>{0} << "Apple Briarhide Copper Ore" << Qt::AscendingOrder << 0;
        QTest::newRow("same column twice")
            << QList<int>{0, 0} << "Copper Ore Briarhide Apple" << Qt::DescendingOrder << 0;
        QTest::newRow("other column flips")
            << QList<int>{0, 3} << "Apple Briarhide Copper Ore" << Qt::DescendingOrder << 3;
        QTest::newRow("empty list ignores clicks") << QList<int>{-1, 1} << "" << Qt::DescendingOrder << -1;
        QTest::newRow("emptied sorted list keeps its indicator")
            << QList<int>{0, -1, 1, 1} << "" << Qt::AscendingOrder << 0;
    }

    void headerClicksFlipTheListsDirection() {
        QFETCH(QList<int>, clicks);
        QFETCH(Qt::SortOrder, order);
        QFETCH(int, indicator);
        StatsTableModel model(table_);
        StatsListView view(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QHeaderView* header = view.horizontalHeader();
        QCOMPARE(model.headerData(6, Qt::Horizontal).toString(), QStringLiteral("Lorehold Item"));
        for (int column : clicks) {
            if (column < 0) {
                model.replace([](StatsTable& table) { table.clear(); });
                continue;
            }
            const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
        }
        QTEST(test::Shown(&model, {0}).join(u' '), "names");
        QCOMPARE(table_.direction(),
                 order == Qt::AscendingOrder ? SortDirection::Ascending : SortDirection::Descending);
        QCOMPARE(table_.sorted(), indicator >= 0);
        QCOMPARE(header->isSortIndicatorShown(), indicator >= 0);
        if (indicator >= 0)
            QCOMPARE(std::pair(header->sortIndicatorSection(), header->sortIndicatorOrder()),
                     std::pair(indicator, order));
    }

    // A filter hides rows only: the rows shown keep the table's order through sorts, and a longer text
    // narrows what a shorter one kept while a shorter one brings rows back.
    void filterShowsMatchingRowsInTheTablesOrder_data() {
        QTest::addColumn<QStringList>("texts"); // typed one after the other; "=" in front: a whole Name cell
        QTest::addColumn<bool>("sortAfter");    // a header click on Item after filtering
        QTest::addColumn<QString>("names");
        QTest::newRow("item or name, case ignored") << QStringList{"B"} << false << "Briarhide Apple";
        QTest::newRow("sorted while filtered") << QStringList{"b"} << true << "Apple Briarhide";
        QTest::newRow("longer text narrows") << QStringList{"b", "bo"} << false << "Apple";
        QTest::newRow("shorter text widens") << QStringList{"bo", "b"} << false << "Briarhide Apple";
        QTest::newRow("cleared") << QStringList{"ore", ""} << false << "Briarhide Apple Copper Ore";
        QTest::newRow("whole name cell") << QStringList{"=ann"} << false << "Briarhide";
        QTest::newRow("whole cell, not a part") << QStringList{"=An"} << false << "";
        QTest::newRow("whole cell, then typing") << QStringList{"=Bob", "o"} << false << "Apple Copper Ore";
    }

    void filterShowsMatchingRowsInTheTablesOrder() {
        QFETCH(QStringList, texts);
        QFETCH(bool, sortAfter);
        StatsTableModel model(table_);
        StatsListView view(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const QString& text : texts) {
            const bool whole = text.startsWith(u'=');
            model.setFilter({(whole ? text.mid(1) : text).toStdString(),
                             whole ? std::vector<int>{kItemMember} : std::vector<int>{kItem, kItemMember}, whole});
        }
        if (sortAfter)
            emit view.horizontalHeader()->sectionClicked(0);
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row) {
            names << model.index(row, 0).data().toString();
            QCOMPARE(QString::fromUtf8(table_.cell(model.tableRow(row), kItem)), names.back());
        }
        QTEST(names.join(u' '), "names");
        QCOMPARE(table_.rowCount(), std::size_t{3});
    }

    void selectionFollowsItsRowAndGuardsTheDoubleClick() {
        StatsTableModel model(table_);
        StatsListView view(&model);
        QList<int> doubleClicked;
        connect(&view, &StatsListView::rowDoubleClicked, this, [&doubleClicked](int row) { doubleClicked << row; });
        emit view.doubleClicked(model.index(1, 1)); // no row selected: nothing happens
        view.selectRow(2);                          // Copper Ore, last after one click, first after two
        emit view.horizontalHeader()->sectionClicked(0);
        emit view.horizontalHeader()->sectionClicked(0);
        emit view.doubleClicked(model.index(0, 1));
        QCOMPARE(doubleClicked, QList<int>{0});
    }
};

} // namespace coffer

QTEST_MAIN(coffer::StatsTableModelTest)
#include "stats_table_model_test.moc"
