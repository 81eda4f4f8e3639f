// The list model presents the engine's table and forwards header clicks to its sort.

#include "analysis/transaction_totals.h"
#include "ui/stats_list_view.h"
#include "ui/stats_table_model.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>

using namespace coffer;

class StatsTableModelTest : public QObject {
    Q_OBJECT
private slots:
    void presentsTheTableUnchanged();
    void headerClicksFlipTheListsDirection_data();
    void headerClicksFlipTheListsDirection();
    void clicksOnAnEmptyListAreIgnored();
    void theSelectedRowStaysSelectedThroughASort();
    void doubleClickNeedsASelectedRow();
};

namespace {

StatsTable ThreeItems() {
    StatsTable table = MakeItemTable();
    table.appendRow({"Briarhide", "00001", "20", "00003.50", "Deposit", "Ann", ""});
    table.appendRow({"Apple", "00050", "3", "00120.00", "Withdrawal", "Bob", "77"});
    table.appendRow({"Copper Ore", "00010", "100", "00000.00", "Deposit", "Cyd", ""});
    return table;
}

QStringList Column(const QAbstractItemModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row)
        cells << model.index(row, column).data().toString();
    return cells;
}

} // namespace

void StatsTableModelTest::presentsTheTableUnchanged() {
    StatsTable table = ThreeItems();
    StatsTableModel model(table);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 7);
    QStringList captions;
    for (int column = 0; column < model.columnCount(); ++column)
        captions << model.headerData(column, Qt::Horizontal).toString();
    QCOMPARE(captions, (QStringList{"Item", "Quality", "Quantity", "Value", "Type", "Name", "Lorehold Item"}));
    QCOMPARE(Column(model, 3), (QStringList{"00003.50", "00120.00", "00000.00"}));
    QCOMPARE(model.index(0, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    QCOMPARE(model.index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft, int(Qt::AlignLeft));
    model.replace([](StatsTable& t) { t.clear(); });
    QCOMPARE(model.rowCount(), 0);
}

void StatsTableModelTest::headerClicksFlipTheListsDirection_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("indicatorColumn");
    QTest::addColumn<Qt::SortOrder>("indicatorOrder");
    // A new table's direction is descending, so the first click sorts ascending.
    QTest::newRow("one click") << QList<int>{0} << QStringList{"Apple", "Briarhide", "Copper Ore"} << 0
                               << Qt::AscendingOrder;
    QTest::newRow("same column twice") << QList<int>{0, 0} << QStringList{"Copper Ore", "Briarhide", "Apple"} << 0
                                       << Qt::DescendingOrder;
    // Numbers by value: 3 < 20 < 100 although "100" < "20" < "3" as text.
    QTest::newRow("quantity as numbers") << QList<int>{2} << QStringList{"Apple", "Briarhide", "Copper Ore"} << 2
                                         << Qt::AscendingOrder;
    // The direction belongs to the list: a click on another column flips it too.
    QTest::newRow("other column flips") << QList<int>{0, 3} << QStringList{"Apple", "Briarhide", "Copper Ore"} << 3
                                        << Qt::DescendingOrder;
    QTest::newRow("three clicks") << QList<int>{3, 3, 3} << QStringList{"Copper Ore", "Briarhide", "Apple"} << 3
                                  << Qt::AscendingOrder;
}

void StatsTableModelTest::headerClicksFlipTheListsDirection() {
    QFETCH(QList<int>, clicks);
    StatsTable table = ThreeItems();
    StatsTableModel model(table);
    StatsListView view(&model);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(!view.horizontalHeader()->isSortIndicatorShown());
    for (int column : clicks)
        emit view.horizontalHeader()->sectionClicked(column);
    QTEST(Column(model, 0), "names");
    QVERIFY(table.sorted());
    QVERIFY(view.horizontalHeader()->isSortIndicatorShown());
    QTEST(view.horizontalHeader()->sortIndicatorSection(), "indicatorColumn");
    QTEST(view.horizontalHeader()->sortIndicatorOrder(), "indicatorOrder");
}

void StatsTableModelTest::clicksOnAnEmptyListAreIgnored() {
    StatsTable table = MakeMemberTable();
    StatsTableModel model(table);
    StatsListView view(&model);
    emit view.horizontalHeader()->sectionClicked(1);
    QVERIFY(!table.sorted());
    QCOMPARE(table.direction(), SortDirection::Descending);
}

void StatsTableModelTest::theSelectedRowStaysSelectedThroughASort() {
    StatsTable table = ThreeItems();
    StatsTableModel model(table);
    StatsListView view(&model);
    view.selectRow(2); // Copper Ore
    emit view.horizontalHeader()->sectionClicked(0);
    QCOMPARE(view.selectedRow(), std::optional<int>(2));
    emit view.horizontalHeader()->sectionClicked(0);
    QCOMPARE(view.selectedRow(), std::optional<int>(0));
    QCOMPARE(model.index(*view.selectedRow(), 0).data().toString(), QStringLiteral("Copper Ore"));
}

void StatsTableModelTest::doubleClickNeedsASelectedRow() {
    StatsTable table = ThreeItems();
    StatsTableModel model(table);
    StatsListView view(&model);
    QList<int> rows;
    connect(&view, &StatsListView::rowDoubleClicked, this, [&rows](int row) { rows << row; });
    emit view.doubleClicked(model.index(1, 1));
    QVERIFY(rows.isEmpty());
    view.selectRow(1);
    emit view.doubleClicked(model.index(1, 1));
    QCOMPARE(rows, QList<int>{1});
}

QTEST_MAIN(StatsTableModelTest)
#include "stats_table_model_test.moc"
