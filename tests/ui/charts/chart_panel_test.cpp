// SPDX-License-Identifier: MIT
// The Charts tab in the real main window, with the dialogs answered by the test.

#include "tests/ui/support/main_window_harness.h"
#include "ui/charts/bar_chart.h"
#include "ui/stats/stats_table_model.h"

#include "analysis/tables/transaction_totals.h"

#include <QAbstractItemView>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QGraphicsTextItem>
#include <QHelpEvent>
#include <QImage>
#include <QLegendMarker>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolTip>
#include <QValueAxis>

namespace coffer {
namespace {

using test::MainWindowHarness;

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
QString Drawn(const MainWindowHarness& h) {
    const auto* chart = static_cast<const BarChart*>(h.find<QChartView>("MSChart1")->chart());
    const QBarSet* bars = static_cast<const QBarSeries*>(chart->series().constFirst())->barSets().constFirst();
    QStringList drawn{chart->title()};
    for (int i = 0; i < bars->count(); ++i)
        drawn << chart->categoryAxis()->at(i) + u'=' + QString::number(bars->at(i));
    return drawn.join(u' ');
}

// Whether the category axis draws these names left to right, each whole or, past 48 characters, as its
// beginning and "…" (Qt Charts cuts a label without room with "...").
bool DrawsNames(const MainWindowHarness& h, const QStringList& names) {
    auto* view = h.find<QChartView>("MSChart1");
    const QFont font = static_cast<const BarChart*>(view->chart())->categoryAxis()->labelsFont();
    QList<const QGraphicsTextItem*> labels; // without the axis' blank end label
    for (const QGraphicsItem* item : view->scene()->items()) {
        const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (text != nullptr && text->isVisible() && text->font() == font && !text->toPlainText().isEmpty())
            labels << text;
    }
    std::ranges::sort(labels, {}, [](const QGraphicsTextItem* text) { return text->sceneBoundingRect().center().x(); });
    for (qsizetype i = 0; i < labels.size() && labels.size() == names.size(); ++i) {
        const QString drawn = labels[i]->toPlainText();
        if (drawn != names[i] && !(names[i].size() > 48 && drawn.size() > 12 && drawn.endsWith(u'\u2026') &&
                                   names[i].startsWith(drawn.chopped(1))))
            return false;
    }
    return labels.size() == names.size();
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
        MainWindowHarness h;
        QVERIFY(h.importFile(h.writeFile(QStringLiteral("banklog.xml"), kBankLog)) && h.analyze());
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        QTRY_COMPARE(Drawn(h), QStringLiteral("Deposits Ann=2 Cid=1"));
        QVERIFY(DrawsNames(h, {QStringLiteral("Ann"), QStringLiteral("Cid")}));
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
        box->showPopup(); // the list shows every entry whole, though the box is narrower
        QVERIFY(box->view()->viewport()->width() >= box->view()->sizeHintForColumn(0));
        box->hidePopup();
        emit box->activated(kFirstWeeklyEntry - 1); // a weekly chart says which bars are which
        const auto* chart = static_cast<BarChart*>(h.find<QChartView>("MSChart1")->chart());
        QCOMPARE(Drawn(h) + u' ' + chart->categoryAxis()->titleText(),
                 QStringLiteral("Gold deposited and withdrawn by week 1970-W01=40 Week"));
        QVERIFY(DrawsNames(h, {QStringLiteral("1970-W01")}) && chart->legend()->isVisible());
        QCOMPARE(chart->legend()->markers().constLast()->label(), QStringLiteral("Withdrawals"));
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(0);
        h.click("cmdRefresh");
        QCOMPARE(Drawn(h), QStringLiteral("Deposits Ann=2 Cid=1"));
        QCOMPARE(box->currentText(), QStringLiteral("Withdrawls"));
    }

    // A big guild keeps every name readable in full: the chart shows the bars that fit and scrolls along
    // the rest with the value axis fixed, a name over 48 characters is cut and whole in its tooltip, and
    // a saved picture is what the tab shows, suggested as the chart's title and today's date in the last
    // folder saved to. The file dialog does not ask about overwriting; the panel does, and a save that
    // fails says so.
    void everyNameStaysLegibleInABigGuild() {
        MainWindowHarness h;
        QVERIFY(QTest::qWaitForWindowExposed(&h.window()));
        QString log = QStringLiteral("<?xml version=\"1.0\"?>\n");
        constexpr int kMembers = 3000;
        QStringList names; // highest deposit first
        for (int member = kMembers; member > 0; --member) {
            names << (member == kMembers ? QStringLiteral("Wilmawendel").repeated(6)
                                         : QStringLiteral("Wilmawendel%1").arg(member));
            log += QStringLiteral("<banklog money=\"%1\" player=\"%2\" type=\"4\"/>\n")
                       .arg(member * 10000)
                       .arg(names.last());
        }
        QVERIFY(h.importFile(h.writeFile(QStringLiteral("big.xml"), log.toUtf8())) && h.analyze());
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        emit h.find<QComboBox>("Combo1")->activated(kGoldDeposits - 1);
        auto* view = h.find<QChartView>("MSChart1");
        const auto* chart = static_cast<const BarChart*>(view->chart());
        auto* scroll = h.find<QScrollBar>("chartScroll");
        const qreal top = chart->valueAxis()->max(); // the whole chart's, wherever it is scrolled
        // Once the names of the bars in view are drawn, the layout they ask for is what is still posted.
        const auto drawn = [&] {
            const bool named =
                QTest::qWaitFor([&] { return DrawsNames(h, names.mid(chart->firstShown(), chart->shownCount())); });
            QCoreApplication::sendPostedEvents();
            return named;
        };
        QVERIFY(drawn());
        const QRectF plot = chart->plotArea(); // with the longest name in view: the zero line stays put
        for (const int first : {0, 1234, kMembers}) {
            scroll->setValue(first);
            QVERIFY(drawn());
            QVERIFY(chart->shownCount() > 20 && chart->valueAxis()->max() == top);
            QVERIFY(std::abs(chart->plotArea().bottom() - plot.bottom()) < 1 && chart->plotArea().top() == plot.top());
        }
        QCOMPARE(chart->firstShown() + chart->shownCount(), kMembers);
        scroll->setValue(0);
        const QPointF firstBar = chart->plotArea().bottomLeft() + QPointF(2, -2);
        QHelpEvent hover(QEvent::ToolTip, view->mapFromScene(chart->mapToScene(firstBar)), QPoint(100, 100));
        QCoreApplication::sendEvent(view->viewport(), &hover);
        QCOMPARE(QToolTip::text(), names.first());

        const QString saved = h.writeFile(QStringLiteral("chart.png"), "old");
        const QString chosen = h.folder() + QStringLiteral("/chart"); // the panel adds ".png"
        h.dialogs().saveAnswers << chosen << chosen << h.folder() + QStringLiteral("/missing/chart");
        h.dialogs().confirmAnswers << false << true;
        h.click("cmdSaveChart");
        QCOMPARE(test::ReadAll(saved), QByteArray("old"));
        h.click("cmdSaveChart");
        QCOMPARE(QImage(saved, "PNG").size(), view->grab().size());
        QCOMPARE(h.dialogs().questions.size(), 2);
        QVERIFY(h.dialogs().messages.isEmpty());
        h.click("cmdSaveChart");
        QCOMPARE(h.dialogs().messages.size(), 1);
        const QString suggested =
            QStringLiteral("Gold Deposits %1.png").arg(QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(h.dialogs().folders.last(3),
                 QStringList({suggested, h.folder() + u'/' + suggested, h.folder() + u'/' + suggested}));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::ChartPanelTest)
#include "chart_panel_test.moc"
