// The Charts tab in the real main window, with the dialogs answered by the test.

#include "tests/ui/support/form1_harness.h"
#include "ui/charts/bar_chart.h"
#include "ui/stats_table_model.h"

#include "analysis/transaction_totals.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QValueAxis>

namespace coffer {
namespace {

using test::Form1Harness;

// Deposits: Ann 2, Cid 1, Bob none. Repairs: Bob 4 gold (3.5 to even), Cid 2 gold (1.5 to even).
constexpr char kBankLog[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<guildKey name="Chart Testers" realm="Stone Harbor"/>
<banklog money="250000" player="Ann" rank="1" ts="1" type="4"/>
<banklog money="30000" player="Ann" rank="1" ts="2" type="4"/>
<banklog money="35000" player="Bob" rank="2" ts="3" type="6"/>
<banklog money="120000" player="Cid" rank="2" ts="4" type="4"/>
<banklog money="15000" player="Cid" rank="2" ts="5" type="6"/>
)";

// The chart's title, then "name=value" for every bar.
QString Drawn(const Form1Harness& h) {
    const auto* chart = static_cast<const BarChart*>(h.find<QChartView>("MSChart1")->chart());
    const QBarSet* bars = static_cast<const QBarSeries*>(chart->series().constFirst())->barSets().constFirst();
    QStringList drawn{chart->title()};
    for (int i = 0; i < bars->count(); ++i)
        drawn << chart->categoryAxis()->at(i) + u'=' + QString::number(bars->at(i));
    return drawn.join(u' ');
}

} // namespace

class ChartPanelTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

  private slots:
    // Every report draws the deposits chart, whichever chart type the box shows; a picked chart
    // type is drawn and leaves the member list in its order, typed text draws nothing.
    void reportsDrawTheDepositsChartAndPickedEntriesTheirOwn() {
        Form1Harness h;
        QVERIFY(h.importFile(h.writeFile(QStringLiteral("banklog.xml"), kBankLog)) && h.analyze());
        QCOMPARE(Drawn(h), QStringLiteral("Deposits Ann=2 Cid=1"));
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        QSignalSpy reordered(h.window().memberModel(), &QAbstractItemModel::layoutChanged);
        auto* box = h.find<QComboBox>("Combo1"); // picked as a user does, with the arrow key from above
        box->setCurrentIndex(box->findText(QStringLiteral("Repairs")) - 1);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(Drawn(h), QStringLiteral("Repairs Cid=-2 Bob=-4"));
        QVERIFY(static_cast<BarChart*>(h.find<QChartView>("MSChart1")->chart())->valueAxis()->min() <= -4);
        QCOMPARE(reordered.count(), 1); // the lists hear of the new order: no repairs first
        QCOMPARE(h.window().memberModel()->index(0, kCharacter).data().toString(), QStringLiteral("Ann"));
        box->lineEdit()->clear(); // an entry's exact text, typed and confirmed
        QTest::keyClicks(box, QStringLiteral("Withdrawls"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(Drawn(h), QStringLiteral("Repairs Cid=-2 Bob=-4"));
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(0);
        h.click("cmdRefresh");
        QCOMPARE(Drawn(h), QStringLiteral("Deposits Ann=2 Cid=1"));
        QCOMPARE(box->currentText(), QStringLiteral("Withdrawls"));
    }

    // A big guild keeps every name and the axis titles: the chart scrolls sideways, and a saved picture
    // is what the tab shows. The file dialog does not ask about overwriting; the panel does, and a save
    // that fails says so.
    void everyNameStaysLegibleInABigGuild() {
        Form1Harness h;
        QVERIFY(QTest::qWaitForWindowExposed(&h.window()));
        QString log = QStringLiteral("<?xml version=\"1.0\"?>\n");
        constexpr int kMembers = 3000;
        for (int member = 0; member < kMembers; ++member)
            log += QStringLiteral("<banklog money=\"%1\" player=\"Member%2\" type=\"4\"/>\n")
                       .arg((member + 1) * 10000)
                       .arg(member);
        QVERIFY(h.importFile(h.writeFile(QStringLiteral("big.xml"), log.toUtf8())) && h.analyze());
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        auto* view = h.find<QChartView>("MSChart1");
        const auto* chart = static_cast<const BarChart*>(view->chart());
        QCOMPARE(chart->categoryAxis()->count(), kMembers);
        QVERIFY(chart->categoryAxis()->isVisible() && chart->categoryAxis()->isTitleVisible());
        QVERIFY(chart->plotArea().width() / kMembers >= QFontMetricsF(chart->categoryAxis()->labelsFont()).height());
        QWidget* shown = h.find<QScrollArea>("chartScroll")->viewport();
        QVERIFY(view->width() > shown->width());

        const QString saved = h.writeFile(QStringLiteral("chart.png"), "old");
        const QString chosen = h.folder() + QStringLiteral("/chart"); // the panel adds ".png"
        h.dialogs().saveAnswers << chosen << chosen << h.folder() + QStringLiteral("/missing/chart");
        h.dialogs().confirmAnswers << false << true;
        h.click("cmdSaveChart");
        QCOMPARE(test::ReadAll(saved), QByteArray("old"));
        h.click("cmdSaveChart");
        QCOMPARE(QImage(saved, "PNG").size(), shown->grab().size());
        QCOMPARE(h.dialogs().questions.size(), 2);
        QVERIFY(h.dialogs().messages.isEmpty());
        h.click("cmdSaveChart");
        QCOMPARE(h.dialogs().messages.size(), 1);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::ChartPanelTest)
#include "chart_panel_test.moc"
