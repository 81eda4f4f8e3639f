#include "ui/charts/bar_chart.h"
#include "ui/charts/chart_panel.h"

#include "analysis/transaction_totals.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <memory>

namespace coffer {
namespace {

// The panel over a member table, with the printer, the file dialog and the message box answered by
// the test.
struct Harness {
    StatsTable members = MakeMemberTable();
    std::function<std::unique_ptr<QPrinter>()> printer = [] { return nullptr; };
    QString nextFileName;
    bool overwrite = false;
    QStringList questions;
    QStringList messages;
    int sorts = 0;
    ChartPanel panel{[this](const std::function<void(StatsTable&)>& sort) {
                         ++sorts;
                         sort(members);
                     },
                     ChartServices{[this] { return printer(); }, [this](QWidget*) { return nextFileName; },
                                   [this](QWidget*, const QString& text) {
                                       questions.append(text);
                                       return overwrite;
                                   },
                                   [this](QWidget*, const QString& text) { messages.append(text); }}};

    Harness() {
        panel.resize(900, 500);
        panel.show();
    }

    // Appends members whose `column` holds the given cells; every other cell is zero.
    void addMembers(int column, const QStringList& cells) {
        for (const QString& cell : cells) {
            std::vector<std::string> row(kMemberColumnCount, "+000000");
            row[kCharacter] = "Member" + std::to_string(members.rowCount() + 1);
            row[static_cast<std::size_t>(column)] = cell.toStdString();
            members.appendRow(std::move(row));
        }
    }

    // Picks entry `entry` (from 1) as a user does: with the arrow key from the entry above it.
    void pick(int entry) const {
        chartType()->setCurrentIndex(entry - 2);
        QTest::keyClick(chartType(), Qt::Key_Down);
    }

    QComboBox* chartType() const { return panel.findChild<QComboBox*>(QStringLiteral("Combo1")); }
    QChartView* view() const { return panel.findChild<QChartView*>(QStringLiteral("MSChart1")); }
    BarChart* chart() const { return static_cast<BarChart*>(view()->chart()); }
    QString title() const { return chart()->title(); }
    void click(const char* button) const {
        QTest::mouseClick(panel.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }

    QList<qreal> barValues() const {
        const auto* series = static_cast<QBarSeries*>(chart()->series().constFirst());
        QList<qreal> values;
        for (int i = 0; i < series->barSets().constFirst()->count(); ++i)
            values.append(series->barSets().constFirst()->at(i));
        return values;
    }
};

std::unique_ptr<QPrinter> PdfPrinter(const QString& fileName) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(fileName);
    return printer;
}

QByteArray ReadFile(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a PDF file holds: the size of each page and of each embedded image.
struct PdfContents {
    QList<QSizeF> pages;
    QList<QSize> images;
};

PdfContents ReadPdf(const QString& fileName) {
    const QString pdf = QString::fromLatin1(ReadFile(fileName));
    static const QRegularExpression page(
        QStringLiteral(R"(/Type\s*/Page\b(?!s)[^>]*?/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
    static const QRegularExpression image(QStringLiteral(R"(/Subtype\s*/Image\s*/Width\s+(\d+)\s*/Height\s+(\d+))"));
    PdfContents contents;
    for (auto it = page.globalMatch(pdf); it.hasNext();) {
        const auto match = it.next();
        contents.pages.append(QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()));
    }
    for (auto it = image.globalMatch(pdf); it.hasNext();) {
        const auto match = it.next();
        contents.images.append(QSize(match.captured(1).toInt(), match.captured(2).toInt()));
    }
    return contents;
}

} // namespace

class ChartPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheSampleChartAndTheChartTypesAtStart() {
        Harness h;
        QCOMPARE(h.panel.findChild<QLabel*>(QStringLiteral("Label4"))->text(), QStringLiteral("Display:"));
        QCOMPARE(h.panel.findChild<QPushButton*>(QStringLiteral("Command7"))->text(), QStringLiteral("Print Chart"));
        QCOMPARE(h.chartType()->currentText(), QStringLiteral("Select a chart type"));
        QCOMPARE(h.chartType()->count(), 13);
        QCOMPARE(h.chartType()->itemText(0), QStringLiteral("Deposits"));
        QCOMPARE(h.chartType()->itemText(12), QStringLiteral("Overall value of all transactions"));
        QCOMPARE(h.title(), QStringLiteral("Example Graph"));
        QVERIFY(!h.barValues().isEmpty());
    }

    void pickingAnEntryDrawsItAndTypingDrawsNothing() {
        Harness h;
        h.addMembers(kDeposits, {"+000003", "+000012"});
        h.addMembers(kWithdrawls, {"+000005"});

        h.pick(kDeposits);
        QCOMPARE(h.title(), QStringLiteral("Deposits"));
        QCOMPARE(h.barValues(), (QList<qreal>{12, 3}));
        QCOMPARE(h.members.sortKey(), int(kDeposits));
        QCOMPARE(h.sorts, 1);

        // An entry's exact text, typed and confirmed, is still only typing.
        h.chartType()->lineEdit()->clear();
        QTest::keyClicks(h.chartType(), QStringLiteral("Withdrawls"));
        QTest::keyClick(h.chartType(), Qt::Key_Return);
        QCOMPARE(h.title(), QStringLiteral("Deposits"));
        QCOMPARE(h.members.sortKey(), int(kDeposits));
        QCOMPARE(h.sorts, 1);

        h.pick(kWithdrawls);
        QCOMPARE(h.title(), QStringLiteral("Withdrawls"));
        QCOMPARE(h.barValues(), QList<qreal>{5});
        QCOMPARE(h.sorts, 2);
    }

    void depositsChartKeepsTheChartTypeText() {
        Harness h;
        h.addMembers(kDeposits, {"+000004"});
        h.addMembers(kRepairs, {"-00020.00"});
        h.pick(kRepairs);
        QCOMPARE(h.title(), QStringLiteral("Repairs"));

        h.panel.DrawDepositsChart();

        QCOMPARE(h.title(), QStringLiteral("Deposits"));
        QCOMPARE(h.barValues(), QList<qreal>{4});
        QCOMPARE(h.chartType()->currentText(), QStringLiteral("Repairs"));
        QCOMPARE(h.members.sortKey(), int(kDeposits));
    }

    void drawingRendersBarsLabelsAndScale_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QList<qreal>>("bars");
        QTest::addColumn<int>("labelAngle");
        QTest::addColumn<qreal>("lowest");
        QTest::addColumn<qreal>("highest");

        QTest::newRow("five bars, horizontal labels")
            << int(kDeposits) << QStringList{"+000001", "+000002", "+000003", "+000004", "+000005"}
            << QList<qreal>{5, 4, 3, 2, 1} << 0 << 0.0 << 5.0;
        QTest::newRow("six bars, vertical labels")
            << int(kDeposits) << QStringList{"+000001", "+000002", "+000003", "+000004", "+000005", "+000006"}
            << QList<qreal>{6, 5, 4, 3, 2, 1} << -90 << 0.0 << 6.0;
        QTest::newRow("negative bars below zero")
            << int(kCountDifference) << QStringList{"-000002", "+000000", "+000004"} << QList<qreal>{4, -2} << 0 << -2.0
            << 4.0;
        QTest::newRow("only negative bars, zero still on the scale")
            << int(kRepairs) << QStringList{"-00150.00", "-00012.00"} << QList<qreal>{-12, -150} << 0 << -150.0 << 0.0;
        QTest::newRow("no bars") << int(kDeposits) << QStringList{"+000000"} << QList<qreal>{} << 0 << 0.0 << 0.0;
        QTest::newRow("no members") << int(kDeposits) << QStringList{} << QList<qreal>{} << 0 << 0.0 << 0.0;
    }

    void drawingRendersBarsLabelsAndScale() {
        QFETCH(int, column);
        QFETCH(QStringList, cells);
        QFETCH(QList<qreal>, bars);
        QFETCH(int, labelAngle);
        QFETCH(qreal, lowest);
        QFETCH(qreal, highest);
        Harness h;
        h.addMembers(column, cells);

        h.pick(column);

        QCOMPARE(h.title(), h.chartType()->itemText(column - 1));
        QCOMPARE(h.barValues(), bars);
        QBarCategoryAxis* categories = h.chart()->categoryAxis();
        QStringList labels = categories->categories();
        labels.removeAll(QString());
        QCOMPARE(labels.size(), bars.size());
        QCOMPARE(categories->labelsAngle(), labelAngle);
        QCOMPARE(categories->labelsFont().family(), QStringLiteral("Georgia"));
        QCOMPARE(categories->labelsFont().pointSize(), 8);
        QVERIFY(categories->labelsFont().bold());
        QCOMPARE(categories->titleText(), QStringLiteral("Players"));
        QCOMPARE(h.chart()->valueAxis()->titleText(), QStringLiteral("Value"));
        QCOMPARE(h.chart()->valueAxis()->titleFont().family(), QStringLiteral("Verdana"));
        QVERIFY(h.chart()->valueAxis()->min() <= lowest);
        QVERIFY(h.chart()->valueAxis()->max() >= highest);
        QVERIFY(h.chart()->valueAxis()->max() > h.chart()->valueAxis()->min());
    }

    void namesShowOnlyWhileEachBarHasRoomForOne() {
        Harness h;
        QVERIFY(QTest::qWaitForWindowExposed(&h.panel));
        QStringList many;
        for (int i = 1; i <= 700; ++i)
            many.append(QStringLiteral("+%1").arg(i, 6, 10, QLatin1Char('0')));
        h.addMembers(kDeposits, many);

        h.panel.DrawDepositsChart();
        QTRY_VERIFY(!h.chart()->categoryAxis()->isVisible());
        QCOMPARE(h.barValues().size(), 700);

        h.members.clear();
        h.addMembers(kDeposits, {"+000001", "+000002"});
        h.panel.DrawDepositsChart();
        QTRY_VERIFY(h.chart()->categoryAxis()->isVisible());
    }

    void barsKeepTheirMembersNames() {
        Harness h;
        h.addMembers(kDeposits, {"+000002", "+000009"});
        h.members.appendRow({"", "+000005"}); // a log entry without a player name still makes a row

        h.panel.DrawDepositsChart();

        QCOMPARE(h.chart()->categoryAxis()->categories(), (QStringList{"Member2", "", "Member1"}));
    }

    void printsOneLandscapePageOfTheChart() {
        QTemporaryDir folder;
        const QString fileName = folder.filePath(QStringLiteral("chart.pdf"));
        Harness h;
        h.printer = [&] { return PdfPrinter(fileName); };
        QVERIFY(QTest::qWaitForWindowExposed(&h.panel));

        h.click("Command7");

        QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('\n')));
        const PdfContents pdf = ReadPdf(fileName);
        QCOMPARE(pdf.pages.size(), 1);
        QVERIFY(pdf.pages.constFirst().width() > pdf.pages.constFirst().height());
        QCOMPARE(pdf.images, QList<QSize>{h.view()->grab().size()}); // the chart's own pixels, nothing else
    }

    void printingWithoutAWorkingPrinterOnlyShowsAMessage_data() {
        QTest::addColumn<bool>("printerExists");
        QTest::addColumn<QString>("message");
        QTest::newRow("no printer") << false << QStringLiteral("no printer");
        QTest::newRow("printer fails") << true << QStringLiteral("could not be printed");
    }

    void printingWithoutAWorkingPrinterOnlyShowsAMessage() {
        QFETCH(bool, printerExists);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString unwritable = folder.filePath(QStringLiteral("missing/chart.pdf"));
        Harness h;
        h.addMembers(kDeposits, {"+000003"});
        h.panel.DrawDepositsChart();
        h.printer = [&] { return printerExists ? PdfPrinter(unwritable) : nullptr; };

        h.click("Command7");

        QCOMPARE(h.messages.size(), 1);
        QVERIFY2(h.messages.constFirst().contains(message), qPrintable(h.messages.constFirst()));
        QCOMPARE(h.title(), QStringLiteral("Deposits"));
        QVERIFY(!QFile::exists(unwritable));
    }

    void savesTheChartAsPng_data() {
        QTest::addColumn<QString>("chosen");   // in the test's folder; empty: the dialog is cancelled
        QTest::addColumn<QString>("existing"); // a file already there
        QTest::addColumn<bool>("overwrite");   // the answer to the overwrite question
        QTest::addColumn<QString>("saved");    // the file that ends up holding the chart
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("messages");
        QTest::newRow("suffix added") << "chart"
                                      << "" << false << "chart.png" << 0 << 0;
        QTest::newRow("suffix kept") << "chart.png"
                                     << "" << false << "chart.png" << 0 << 0;
        QTest::newRow("suffix kept in any case") << "Chart.PNG"
                                                 << "" << false << "Chart.PNG" << 0 << 0;
        QTest::newRow("another suffix is not enough") << "chart.png.txt"
                                                      << "" << false << "chart.png.txt.png" << 0 << 0;
        QTest::newRow("overwrite confirmed") << "chart"
                                             << "chart.png" << true << "chart.png" << 1 << 0;
        QTest::newRow("overwrite declined") << "chart"
                                            << "chart.png" << false << "" << 1 << 0;
        QTest::newRow("cancelled") << ""
                                   << "" << false << "" << 0 << 0;
        QTest::newRow("folder missing") << "missing/chart"
                                        << "" << false << "" << 0 << 1;
    }

    void savesTheChartAsPng() {
        QFETCH(QString, chosen);
        QFETCH(QString, existing);
        QFETCH(bool, overwrite);
        QFETCH(QString, saved);
        QFETCH(int, questions);
        QFETCH(int, messages);
        QTemporaryDir folder;
        if (!existing.isEmpty()) {
            QFile old(folder.filePath(existing));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        Harness h;
        QVERIFY(QTest::qWaitForWindowExposed(&h.panel));
        h.nextFileName = chosen.isEmpty() ? chosen : folder.filePath(chosen);
        h.overwrite = overwrite;

        h.click("cmdSaveChart");

        QCOMPARE(h.questions.size(), questions);
        QCOMPARE(h.messages.size(), messages);
        QStringList files{existing, saved};
        files.removeAll(QString());
        files.removeDuplicates();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), files);
        if (!saved.isEmpty())
            QCOMPARE(QImage(folder.filePath(saved), "PNG").size(), h.view()->size());
        else if (!existing.isEmpty())
            QCOMPARE(ReadFile(folder.filePath(existing)), QByteArray("old"));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::ChartPanelTest)
#include "chart_panel_test.moc"
