// The Charts tab in the real main window, with the printer and the dialogs answered by the test.

#include "tests/ui/support/form1_harness.h"
#include "ui/charts/bar_chart.h"
#include "ui/stats_table_model.h"

#include "analysis/transaction_totals.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
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

// A window on the Charts tab whose default printer prints to the PDF file `printTo` (none when empty).
std::unique_ptr<Form1Harness> ChartsTab(const QString& printTo = {}) {
    Form1Services services;
    services.defaultPrinter = [printTo] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printTo);
        return printTo.isEmpty() ? nullptr : std::move(printer);
    };
    auto h = std::make_unique<Form1Harness>(std::move(services));
    h->click("Command6");
    h->find<QTabBar>("TabStrip1")->setCurrentIndex(1);
    return h;
}

// The chart's title, then "name=value" for every bar.
QString Drawn(const Form1Harness& h) {
    const auto* chart = static_cast<const BarChart*>(h.find<QChartView>("MSChart1")->chart());
    const QBarSet* bars = static_cast<const QBarSeries*>(chart->series().constFirst())->barSets().constFirst();
    QStringList drawn{chart->title()};
    for (int i = 0; i < bars->count(); ++i)
        drawn << chart->categoryAxis()->at(i) + u'=' + QString::number(bars->at(i));
    return drawn.join(u' ');
}

// Picks a chart type as a user does: with the arrow key from the entry above it.
void Pick(const Form1Harness& h, const QString& entry) {
    auto* box = h.find<QComboBox>("Combo1");
    box->setCurrentIndex(box->findText(entry) - 1);
    QTest::keyClick(box, Qt::Key_Down);
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
        auto h = ChartsTab();
        QVERIFY(h->importFile(h->writeFile(QStringLiteral("banklog.xml"), kBankLog)) && h->analyze());
        QCOMPARE(Drawn(*h), QStringLiteral("Deposits Ann=2 Cid=1"));
        h->find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        QSignalSpy reordered(h->window().memberModel(), &QAbstractItemModel::layoutChanged);
        Pick(*h, QStringLiteral("Repairs"));
        QCOMPARE(Drawn(*h), QStringLiteral("Repairs Cid=-2 Bob=-4"));
        QVERIFY(static_cast<BarChart*>(h->find<QChartView>("MSChart1")->chart())->valueAxis()->min() <= -4);
        QCOMPARE(reordered.count(), 1); // the lists hear of the new order: no repairs first
        QCOMPARE(h->window().memberModel()->index(0, kCharacter).data().toString(), QStringLiteral("Ann"));
        h->find<QComboBox>("Combo1")->lineEdit()->clear(); // an entry's exact text, typed and confirmed
        QTest::keyClicks(h->find("Combo1"), QStringLiteral("Withdrawls"));
        QTest::keyClick(h->find("Combo1"), Qt::Key_Return);
        QCOMPARE(Drawn(*h), QStringLiteral("Repairs Cid=-2 Bob=-4"));
        h->find<QTabBar>("TabStrip1")->setCurrentIndex(0);
        h->click("cmdRefresh");
        QCOMPARE(Drawn(*h), QStringLiteral("Deposits Ann=2 Cid=1"));
        QCOMPARE(h->find<QComboBox>("Combo1")->currentText(), QStringLiteral("Withdrawls"));
    }

    void printsOneLandscapePageOrShowsAMessage_data() {
        QTest::addColumn<QString>("printTo"); // empty: no printer
        QTest::addColumn<QString>("message");
        QTest::newRow("printed") << QStringLiteral("chart.pdf") << QString();
        QTest::newRow("no printer") << QString() << QStringLiteral("no printer");
        QTest::newRow("printer fails") << QStringLiteral("missing/chart.pdf") << QStringLiteral("could not be printed");
    }

    void printsOneLandscapePageOrShowsAMessage() {
        QFETCH(QString, printTo);
        QFETCH(QString, message);
        QTemporaryDir folder;
        auto h = ChartsTab(printTo.isEmpty() ? printTo : folder.filePath(printTo));
        QVERIFY(QTest::qWaitForWindowExposed(&h->window()));
        h->click("Command7");
        if (!message.isEmpty()) {
            QCOMPARE(h->dialogs().messages.size(), 1);
            QVERIFY(h->dialogs().messages[0].contains(message) && QDir(folder.path()).isEmpty());
            return;
        }
        QCOMPARE(h->dialogs().messages, QStringList());
        QFile pdf(folder.filePath(printTo));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        static const QRegularExpression page(
            QStringLiteral(R"(/Type\s*/Page\b(?!s)[^>]*?/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
        QList<bool> landscape;
        for (auto it = page.globalMatch(QString::fromLatin1(pdf.readAll())); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            landscape << (match.captured(1).toDouble() > match.captured(2).toDouble());
        }
        QCOMPARE(landscape, QList<bool>{true});
    }

    // A big guild keeps every name and the axis titles: the chart scrolls sideways, and a saved picture
    // is what the tab shows.
    void everyNameStaysLegibleInABigGuild() {
        auto h = ChartsTab();
        QVERIFY(QTest::qWaitForWindowExposed(&h->window()));
        QString log = QStringLiteral("<?xml version=\"1.0\"?>\n");
        constexpr int kMembers = 3000;
        for (int member = 0; member < kMembers; ++member)
            log += QStringLiteral("<banklog money=\"%1\" player=\"Member%2\" type=\"4\"/>\n")
                       .arg((member + 1) * 10000)
                       .arg(member);
        QVERIFY(h->importFile(h->writeFile(QStringLiteral("big.xml"), log.toUtf8())) && h->analyze());
        h->find<QTabBar>("TabStrip1")->setCurrentIndex(1);
        auto* view = h->find<QChartView>("MSChart1");
        const auto* chart = static_cast<const BarChart*>(view->chart());
        QCOMPARE(chart->categoryAxis()->count(), kMembers);
        QVERIFY(chart->categoryAxis()->isVisible() && chart->categoryAxis()->isTitleVisible());
        QVERIFY(chart->plotArea().width() / kMembers >= QFontMetricsF(chart->categoryAxis()->labelsFont()).height());
        QWidget* shown = h->find<QScrollArea>("chartScroll")->viewport();
        QVERIFY(view->width() > shown->width());

        h->dialogs().saveAnswers << h->folder() + QStringLiteral("/big.png");
        h->click("cmdSaveChart");
        QCOMPARE(QImage(h->folder() + QStringLiteral("/big.png")).size(), shown->grab().size());
    }

    // The file dialog does not ask about overwriting; the panel does. chart.png is there already.
    void savesTheChartAsPng_data() {
        QTest::addColumn<QString>("chosen"); // empty: cancelled
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("outcome"); // the files, holding the chart or the old text; ? a question, ! a message
        const char* const rows[][4] = {{"suffix added, overwrite confirmed", "chart", "y", "chart.png:chart ?"},
                                       {"overwrite declined", "chart", "", "chart.png:old ?"},
                                       {"cancelled", "", "y", "chart.png:old"},
                                       {"folder missing", "missing/chart", "y", "chart.png:old !"}};
        for (const auto& [name, chosen, overwrite, outcome] : rows)
            QTest::newRow(name) << chosen << (*overwrite == 'y') << outcome;
    }

    void savesTheChartAsPng() {
        QFETCH(QString, chosen);
        QFETCH(bool, overwrite);
        auto h = ChartsTab();
        QVERIFY(QTest::qWaitForWindowExposed(&h->window()));
        const QDir folder(h->folder() + QStringLiteral("/saved"));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        h->writeFile(QStringLiteral("saved/chart.png"), "old");
        h->dialogs().saveAnswers << (chosen.isEmpty() ? chosen : folder.filePath(chosen));
        h->dialogs().confirmAnswers << overwrite;
        h->click("cmdSaveChart");
        QStringList outcome;
        for (const QString& file : folder.entryList(QDir::Files, QDir::Name))
            outcome << file + (QImage(folder.filePath(file), "PNG").isNull() ? QStringLiteral(":old")
                                                                             : QStringLiteral(":chart"));
        outcome << QStringList(h->dialogs().questions.size(), QStringLiteral("?"))
                << QStringList(h->dialogs().messages.size(), QStringLiteral("!"));
        QTEST(outcome.join(u' '), "outcome");
    }
};

} // namespace coffer

QTEST_MAIN(coffer::ChartPanelTest)
#include "chart_panel_test.moc"
