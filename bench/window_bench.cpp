// SPDX-License-Identifier: MIT
// Drives the real main window (offscreen or under a display) through a large import, a select-all in the
// box, an analysis, Cancel at three points of a run, and list sorts and searches, and prints how long
// each took, the longest time the window went without handling its events and the longest time the
// run's progress bar stood still. With --screenshots DIR it also saves a picture of the import in
// progress, of the box all selected, of the status bar before and after each Cancel, and of every panel
// after the analysis; each --ledger-log FILE is then added to the window's guild ledger (a new one, or the
// ledger FILE given, with a rule of gold withdrawals set first) as a paste, and the Guild Ledger panel
// pictured, then its Entries tab sorted by Member, searching the first letters of a member's name, listing
// one member's withdrawals, and the rules tab with the alerts the adds fired.
//
//   window_bench [--entries N] [--log FILE] [--size WxH] [--screenshots DIR [--ledger FILE] [--ledger-log FILE]...]
//   window_bench --import-scaling    (only the import, of 100,000 and of 1,000,000 entries)

#include "analysis/tables/transaction_totals.h"
#include "bench/event_gap_meter.h"
#include "genlog/banklog_generator.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_table_model.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

using coffer::bench::EventGapMeter;
using coffer::test::EventWatch;
using coffer::test::MainWindowHarness;

// Types `text` into a search box a key at a time, then deletes it again, and prints the longest
// keystroke (the list filtered and repainted).
void TimeSearch(QLineEdit* box, const QAbstractItemModel* list, const QString& text, const char* what) {
    box->setFocus();
    QElapsedTimer clock;
    qint64 longestMs = 0;
    const auto key = [&](auto press) {
        clock.start();
        press();
        QCoreApplication::processEvents();
        longestMs = std::max(longestMs, clock.elapsed());
    };
    for (const QChar c : text)
        key([&] { QTest::keyClick(box, c.toLatin1()); });
    const int found = list->rowCount();
    for (qsizetype i = 0; i < text.size(); ++i)
        key([&] { QTest::keyClick(box, Qt::Key_Backspace); });
    std::printf("%s, search \"%s\" (%d rows found, %d rows after deleting it): longest keystroke %lld ms\n", what,
                qPrintable(text), found, list->rowCount(), static_cast<long long>(longestMs));
}

// A list of a million rows on its own: sorting by a header click and scrolling to the end.
void MillionRowList() {
    coffer::StatsTable table = coffer::MakeItemTable();
    for (int i = 0; i < 1000000; ++i) {
        const std::uint32_t mixed = static_cast<std::uint32_t>(i) * 2654435761u;
        table.appendRow({"Item " + std::to_string(mixed % 50000), "0000" + std::to_string(mixed % 7),
                         std::to_string(mixed % 200), "00000.00", (mixed & 1) ? "Deposit" : "Withdrawal",
                         "Member" + std::to_string(mixed % 3000), ""});
    }
    coffer::StatsTableModel model(table);
    coffer::StatsListView view(&model);
    view.resize(1000, 600);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    for (int column : {2, 0, 2}) {
        clock.start();
        emit view.horizontalHeader()->sectionClicked(column);
        QCoreApplication::processEvents();
        std::printf("million-row list, sort by column %d: %lld ms\n", column, static_cast<long long>(clock.elapsed()));
    }
    clock.start();
    view.scrollToBottom();
    QCoreApplication::processEvents();
    std::printf("million-row list, scroll to the end: %lld ms\n", static_cast<long long>(clock.elapsed()));
    QLineEdit search;
    QObject::connect(&search, &QLineEdit::textEdited, &model, [&model](const QString& text) {
        model.setFilter({text.toStdString(), {coffer::kItem, coffer::kItemMember}});
    });
    search.show();
    TimeSearch(&search, &model, QStringLiteral("member12"), "million-row list");
}

// Imports logs of 100,000 and 1,000,000 entries, each into a new window, from the file dialog's answer
// to "Analyze now" enabled again: a big import should take ten times as long as a tenth of it, no more;
// emptying the box again should take well under a second.
int ImportScaling() {
    qint64 tenthMs = 0;
    for (const std::size_t entries : {100000, 1000000}) {
        MainWindowHarness harness;
        coffer::bench::BankLogGeneratorOptions options;
        options.entry_count = entries;
        const QString log = harness.writeFile(QStringLiteral("banklog.xml"),
                                              QByteArray::fromStdString(coffer::bench::GenerateBankLog(options)));
        harness.click("Command4");
        QTest::qWait(1000); // the embedded browsers start up first
        QElapsedTimer clock;
        clock.start();
        harness.importFile(log);
        const qint64 ms = clock.elapsed();
        std::printf("import of %zu entries: %lld ms", entries, static_cast<long long>(ms));
        if (tenthMs > 0)
            std::printf(", %.1f times the import of a tenth", static_cast<double>(ms) / static_cast<double>(tenthMs));
        std::printf("\n");
        tenthMs = ms;
        auto* text = harness.find<QPlainTextEdit>("Text1");
        text->setFocus();
        text->selectAll();
        clock.restart();
        QTest::keyClick(text, Qt::Key_Delete);
        QCoreApplication::processEvents();
        std::printf("  then select all and Delete: %lld ms, %d characters left\n",
                    static_cast<long long>(clock.elapsed()), text->document()->characterCount() - 1);
    }
    return 0;
}

// Where --screenshots saves its pictures; empty: none are taken.
QString pictureFolder;

// Saves what the screen shows (under X11) or the window's picture as NAME.png in the picture folder.
void Picture(MainWindowHarness& harness, const QString& name) {
    if (pictureFolder.isEmpty())
        return;
    QDir().mkpath(pictureFolder);
    const QPixmap shot =
        QGuiApplication::platformName() == u"xcb" ? harness.window().screen()->grabWindow(0) : harness.window().grab();
    shot.save(QDir(pictureFolder).filePath(name + QStringLiteral(".png")));
}

// The memory the process holds, in MB.
long ResidentMb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// Ctrl+A in the bank log box, then Ctrl+C, then a click in the box: each until the window has handled
// it. Under X11 a selection is offered as the primary selection, which is where select-all was slow.
void TimeSelectAll(MainWindowHarness& harness) {
    harness.click("Command4");
    auto* text = harness.find<QPlainTextEdit>("Text1");
    text->setFocus();
    QCoreApplication::processEvents();
    const long before = ResidentMb();
    QElapsedTimer clock;
    const auto timed = [&](const auto& action) {
        clock.start();
        action();
        QCoreApplication::processEvents();
        return static_cast<long long>(clock.elapsed());
    };
    const long long selectMs = timed([&] { QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier); });
    const long selectedMb = ResidentMb();
    Picture(harness, QStringLiteral("selected"));
    const long long copyMs = timed([&] { QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier); });
    const qsizetype copied = QGuiApplication::clipboard()->text().size();
    const long long clickMs = timed([&] { QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(20, 20)); });
    std::printf("box of %d characters (%s): Ctrl+A %lld ms (memory %ld MB, then %ld MB), Ctrl+C %lld ms (%lld "
                "characters copied), a click %lld ms\n",
                text->document()->characterCount() - 1, qPrintable(QGuiApplication::platformName()), selectMs, before,
                selectedMb, copyMs, static_cast<long long>(copied), clickMs);
    QGuiApplication::clipboard()->clear();
}

// Watches the run's progress bar from "Analyze now" to the end of the run: the longest time it stood
// still, and the share it stood at.
class ProgressWatch {
  public:
    explicit ProgressWatch(QProgressBar* bar) : bar_(bar) {
        QObject::connect(bar, &QProgressBar::valueChanged, [this](int value) { moved(value); });
    }
    void start() {
        longestMs_ = 0;
        at_ = 0;
        sinceMove_.start();
    }
    void stop() { moved(bar_->value()); }
    qint64 longestMs() const { return longestMs_; }
    int stoodAt() const { return stoodAt_; }

  private:
    void moved(int value) {
        if (!sinceMove_.isValid())
            return;
        if (const qint64 still = sinceMove_.restart(); still > longestMs_) {
            longestMs_ = still;
            stoodAt_ = at_;
        }
        at_ = value;
    }
    QProgressBar* bar_;
    QElapsedTimer sinceMove_;
    qint64 longestMs_ = 0;
    int at_ = 0, stoodAt_ = 0;
};

// Clicks Cancel as soon as `reached` holds during a run, and prints how long the click took until the
// progress bar and Cancel had left the status bar and it was painted, and whether the run was cancelled
// with report.html and the panel shown left as they were.
void CancelWhen(MainWindowHarness& harness, const char* when, const std::function<bool()>& reached,
                const QString& picture) {
    auto* bar = harness.find<QProgressBar>("progressAnalysis");
    auto* cancel = harness.find<QAbstractButton>("cmdCancel");
    auto* analyze = harness.find<QAbstractButton>("cmdAnalyze");
    const QByteArray report = coffer::test::ReadAll(harness.reportPath());
    QElapsedTimer sinceClick;
    qint64 settledMs = -1;
    EventWatch painted(harness.find("StatusBar1"), QEvent::Paint, [&] {
        if (sinceClick.isValid() && settledMs < 0 && bar->isHidden() && cancel->isHidden())
            settledMs = sinceClick.elapsed();
    });
    harness.click("cmdAnalyze");
    const bool clicked = coffer::test::RunUntil([&] { return reached() || !cancel->isVisible(); }, 120000) &&
                         cancel->isVisible() && cancel->isEnabled();
    if (clicked) {
        Picture(harness, picture);
        sinceClick.start();
        QTest::mouseClick(cancel, Qt::LeftButton);
    }
    coffer::test::RunUntil([&] { return analyze->isEnabled(); }, 120000);
    QTest::qWait(100);
    Picture(harness, picture + QStringLiteral("-cancelled"));
    const bool cancelled = harness.status() == u"Cancelled" && coffer::test::ReadAll(harness.reportPath()) == report &&
                           harness.visiblePanel() == u"Frame3";
    std::printf("Cancel %s: %s, status bar settled on screen %lld ms after the click\n", when,
                !clicked    ? "not reached"
                : cancelled ? "cancelled"
                            : "NOT cancelled",
                static_cast<long long>(settledMs));
}

void SaveScreenshots(MainWindowHarness& harness, const QString& folder) {
    QDir().mkpath(folder);
    const struct {
        const char* button;
        const char* file;
    } panels[] = {{"Command2", "browser"}, {"Command4", "banklog"}, {"Command5", "bankstats"}, {"Command6", "report"}};
    for (const auto& panel : panels) {
        harness.click(panel.button);
        QTest::qWait(1500); // let the embedded browsers paint
        QScreen* screen = harness.window().screen();
        QPixmap shot = QGuiApplication::platformName() == u"xcb" ? screen->grabWindow(0) : harness.window().grab();
        shot.save(QDir(folder).filePath(QString::fromLatin1(panel.file) + QStringLiteral(".png")));
    }
    harness.find<QTabBar>("TabStrip1")->setCurrentIndex(1);
    QTest::qWait(500);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("charts.png")));
    harness.find<QTabBar>("TabStrip1")->setCurrentIndex(0);
    harness.click("mnuAbout");
    QTest::qWait(300);
    if (auto* about = harness.window().findChild<QWidget*>(QStringLiteral("frmAbout")))
        about->grab().save(QDir(folder).filePath(QStringLiteral("about.png")));
}

// Adds each log as a paste through the box and "Add the bank log to the ledger", then pictures the panel.
void AddToLedger(MainWindowHarness& harness, const QString& ledger, const QStringList& logs, const QString& folder) {
    harness.click("cmdLedger");
    auto* add = harness.find<QAbstractButton>("cmdLedgerAdd");
    coffer::test::RunUntil([add] { return add->isEnabled(); }, 120000);
    if (!ledger.isEmpty())
        harness.chooseLedger("cmdLedgerOpen", ledger);
    // A rule set through the form of the Rules tab before the adds, which then fire it.
    auto* lists = harness.find<QTabWidget>("tabLedgerLists");
    lists->setCurrentIndex(3);
    harness.find<QLineEdit>("txtRuleAmount")->setText(QStringLiteral("20g"));
    harness.find<QAbstractButton>("btnAddRule")->click();
    auto* rules = harness.find<QTreeWidget>("lstRules");
    coffer::test::RunUntil([rules] { return rules->topLevelItemCount() > 0; }, 60000);
    for (const QString& log : logs) {
        harness.setLog(coffer::test::ReadAll(log).toStdString());
        EventGapMeter gaps;
        QElapsedTimer clock;
        gaps.start();
        clock.start();
        if (log == logs.last()) // the add's progress and its Cancel
            QTimer::singleShot(300, &harness.window(), [&harness, &folder] {
                harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger-adding.png")));
            });
        add->click();
        coffer::test::RunUntil([add] { return add->isEnabled(); }, 120000);
        std::printf("ledger add of %s: %lld ms, longest event gap %lld ms\n", qPrintable(log),
                    static_cast<long long>(clock.elapsed()), static_cast<long long>(gaps.stop()));
    }
    QTest::qWait(300);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger.png")));
    // The Entries tab, sorted by Member with a click on its header.
    lists->setCurrentIndex(2);
    auto* entries = harness.find<QTableView>("lstLedgerEntries");
    emit entries->horizontalHeader()->sectionClicked(1);
    coffer::test::RunUntil([entries] { return entries->model()->index(0, 1).data().toString() != u"…"; }, 60000);
    QTest::qWait(300);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger-entries.png")));
    // The first letters of a member's name typed, then one member's withdrawals, with what they add up to.
    const QString member = entries->model()->index(0, 1).data().toString();
    auto* totals = harness.find<QLabel>("lblEntryTotals");
    harness.find<QLineEdit>("txtFindEntry")->setText(member.left(2));
    QTest::qWait(1500);
    coffer::test::RunUntil([totals] { return totals->text().startsWith(u"Items:"); }, 60000);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger-entries-search.png")));
    harness.find<QLineEdit>("txtFindEntry")->setText(member);
    harness.find<QComboBox>("cmbEntryAction")->setCurrentIndex(5);
    coffer::test::RunUntil([totals] { return totals->text().startsWith(u"Items:"); }, 60000);
    QTest::qWait(300);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger-entries-member.png")));
    // The rules with what the adds fired.
    lists->setCurrentIndex(3);
    QTest::qWait(300);
    harness.window().grab().save(QDir(folder).filePath(QStringLiteral("ledger-rules.png")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    std::size_t entries = 100000;
    QString logPath;
    QString screenshots;
    QString ledger;
    QStringList ledgerLogs;
    QSize size(1280, 800);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--import-scaling")))
        return ImportScaling();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--entries")
            entries = args[i + 1].toULongLong();
        else if (args[i] == u"--log")
            logPath = args[i + 1];
        else if (args[i] == u"--screenshots")
            screenshots = pictureFolder = args[i + 1];
        else if (args[i] == u"--ledger")
            ledger = args[i + 1];
        else if (args[i] == u"--ledger-log")
            ledgerLogs << args[i + 1];
        else if (args[i] == u"--size")
            size = QSize(args[i + 1].section(u'x', 0, 0).toInt(), args[i + 1].section(u'x', 1, 1).toInt());
    }

    MainWindowHarness harness({}, QStringLiteral(COFFER_RESOURCES));
    harness.window().setGeometry(QRect(QPoint(0, 0), size));
    QTest::qWait(200);
    if (logPath.isEmpty()) {
        coffer::bench::BankLogGeneratorOptions options;
        options.entry_count = entries;
        logPath = harness.writeFile(QStringLiteral("banklog.xml"),
                                    QByteArray::fromStdString(coffer::bench::GenerateBankLog(options)));
    }
    std::printf("log: %s (%lld bytes)\n", qPrintable(logPath), static_cast<long long>(QFile(logPath).size()));

    EventGapMeter gaps;
    QElapsedTimer clock;
    gaps.start();
    clock.start();
    if (!screenshots.isEmpty()) { // the import's progress, shown where the instructions were
        harness.click("Command4");
        QTimer::singleShot(300, &harness.window(), [&harness, &screenshots] {
            QDir().mkpath(screenshots);
            harness.window().grab().save(QDir(screenshots).filePath(QStringLiteral("importing.png")));
        });
    }
    harness.importFile(logPath);
    const qint64 importMs = clock.elapsed();
    const qint64 importGapMs = gaps.stop();
    std::printf("import: %lld ms, longest event gap %lld ms\n", static_cast<long long>(importMs),
                static_cast<long long>(importGapMs));

    TimeSelectAll(harness);

    auto* report = harness.find<QWebEngineView>("WebBrowser2");
    bool shown = false;
    QObject::connect(report, &QWebEngineView::loadFinished, [&shown](bool ok) { shown = ok; });
    ProgressWatch progress(harness.find<QProgressBar>("progressAnalysis"));
    gaps.start();
    clock.restart();
    progress.start();
    harness.click("cmdAnalyze");
    coffer::test::RunUntil([&harness] { return harness.find<QAbstractButton>("cmdAnalyze")->isEnabled(); }, 120000);
    const qint64 runMs = clock.elapsed();
    progress.stop();
    const bool done = coffer::test::RunUntil([&shown] { return shown; }, 120000);
    const qint64 analysisMs = clock.elapsed();
    const qint64 analysisGapMs = gaps.stop();
    std::printf("analysis: run %lld ms, to shown report %lld ms%s, longest event gap %lld ms\n",
                static_cast<long long>(runMs), static_cast<long long>(analysisMs), done ? "" : " (not finished)",
                static_cast<long long>(analysisGapMs));

    auto* items = harness.window().itemModel();
    auto* members = harness.window().memberModel();
    std::printf("progress bar: longest stand-still %lld ms, at %d%%\n", static_cast<long long>(progress.longestMs()),
                progress.stoodAt());
    auto* bar = harness.find<QProgressBar>("progressAnalysis");
    CancelWhen(
        harness, "during the scan", [bar] { return bar->value() >= 10; }, QStringLiteral("scan"));
    CancelWhen(
        harness, "while the report is written", [&harness] { return harness.status() == u"Generating Report"; },
        QStringLiteral("report"));
    CancelWhen(
        harness, "once the bar is full", [bar] { return bar->value() == 100; }, QStringLiteral("full"));
    std::printf("members: %d rows, items: %d rows\n", members->rowCount(), items->rowCount());
    harness.click("Command5");
    for (int column : {0, 3, 1, 4, 5}) {
        clock.restart();
        items->sortByHeader(column);
        QCoreApplication::processEvents(); // the list repaints
        std::printf("sort item list by column %d: %lld ms\n", column, static_cast<long long>(clock.elapsed()));
    }
    TimeSearch(harness.find<QLineEdit>("txtFindItem"), items, QStringLiteral("member12"), "item list");
    if (!screenshots.isEmpty()) {
        SaveScreenshots(harness, screenshots);
        AddToLedger(harness, ledger, ledgerLogs, screenshots);
    } else
        MillionRowList();
    return done ? 0 : 1;
}
