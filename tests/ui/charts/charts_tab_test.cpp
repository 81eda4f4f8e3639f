// The Charts tab inside the real main window: the deposits chart after every report, the tab strip
// showing and hiding the chart controls, and the window's dialogs answering for the chart.

#include "tests/ui/support/form1_harness.h"
#include "ui/stats_table_model.h"

#include "analysis/transaction_totals.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

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

bool Analyze(Form1Harness& h) {
    return h.importFile(h.writeFile(QStringLiteral("banklog.xml"), kBankLog)) && h.analyze();
}

QString ChartTitle(const Form1Harness& h) {
    return h.find<QChartView>("MSChart1")->chart()->title();
}

QList<qreal> Bars(const Form1Harness& h) {
    const auto* series = static_cast<QBarSeries*>(h.find<QChartView>("MSChart1")->chart()->series().constFirst());
    const QBarSet* set = series->barSets().constFirst();
    QList<qreal> values;
    for (int i = 0; i < set->count(); ++i)
        values.append(set->at(i));
    return values;
}

// Picks a chart type as a user does, with the arrow key from the entry above it.
void Pick(const Form1Harness& h, const QString& entry) {
    auto* box = h.find<QComboBox>("Combo1");
    box->setCurrentIndex(box->findText(entry) - 1);
    QTest::keyClick(box, Qt::Key_Down);
}

QString MemberAt(Form1Harness& h, int row) {
    const StatsTableModel* members = h.window().memberModel();
    return members->data(members->index(row, kCharacter)).toString();
}

} // namespace

class ChartsTabTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

  private slots:
    void everyReportDrawsTheDepositsChart() {
        Form1Harness h;
        QVERIFY(Analyze(h));
        QCOMPARE(ChartTitle(h), QStringLiteral("Deposits"));
        QCOMPARE(Bars(h), (QList<qreal>{2, 1}));

        auto* tabs = h.find<QTabBar>("TabStrip1");
        tabs->setCurrentIndex(1);
        QSignalSpy reordered(h.window().memberModel(), &QAbstractItemModel::layoutChanged);
        Pick(h, QStringLiteral("Repairs"));
        QCOMPARE(ChartTitle(h), QStringLiteral("Repairs"));
        QCOMPARE(Bars(h), (QList<qreal>{-2, -4}));
        // The member list shows the charted order: no repairs first, then the smallest bill up.
        QCOMPARE(reordered.count(), 1);
        QCOMPARE((QStringList{MemberAt(h, 0), MemberAt(h, 1), MemberAt(h, 2)}), (QStringList{"Ann", "Cid", "Bob"}));

        tabs->setCurrentIndex(0);
        h.click("cmdRefresh");

        QCOMPARE(ChartTitle(h), QStringLiteral("Deposits"));
        QCOMPARE(Bars(h), (QList<qreal>{2, 1}));
        QCOMPARE(h.find<QComboBox>("Combo1")->currentText(), QStringLiteral("Repairs"));
        QCOMPARE(MemberAt(h, 0), QStringLiteral("Ann"));
    }

    void chartControlsShowOnlyOnTheChartsTab() {
        Form1Harness h;
        h.click("Command6"); // the Report panel
        auto* tabs = h.find<QTabBar>("TabStrip1");
        const auto chartControlsShown = [&h] {
            QList<bool> shown;
            for (const char* name : {"Label4", "Combo1", "Command7", "cmdSaveChart", "MSChart1"})
                shown.append(h.find(name)->isVisible());
            return shown;
        };
        const QList<bool> none{false, false, false, false, false};
        const QList<bool> all{true, true, true, true, true};

        QCOMPARE(chartControlsShown(), none);
        tabs->setCurrentIndex(1);
        QCOMPARE(chartControlsShown(), all);
        QVERIFY(!h.find("WebBrowser2")->isVisible());
        tabs->setCurrentIndex(0);
        QCOMPARE(chartControlsShown(), none);
    }

    void theWindowsDialogsAnswerForTheChart() {
        Form1Services services;
        services.defaultPrinter = [] { return std::unique_ptr<QPrinter>(); };
        Form1Harness h(std::move(services));
        h.click("Command6");
        h.find<QTabBar>("TabStrip1")->setCurrentIndex(1);

        h.click("Command7");
        QCOMPARE(h.dialogs().messages.size(), 1);
        QCOMPARE(h.dialogs().titles.constLast(), QStringLiteral("Coffer"));

        h.dialogs().saveAnswers << h.folder() + QStringLiteral("/chart");
        h.click("cmdSaveChart");
        QVERIFY(QFile::exists(h.folder() + QStringLiteral("/chart.png")));
        QCOMPARE(h.dialogs().messages.size(), 1);
    }
};

} // namespace coffer

QTEST_MAIN(coffer::ChartsTabTest)
#include "charts_tab_test.moc"
