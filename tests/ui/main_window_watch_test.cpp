// SPDX-License-Identifier: MIT
// The watch of the bank log page against the local armory (tests/support/armory_site.py, driven line by
// line): signed in through the Browser panel, the page is fetched into the ledger again and again, an
// outage beyond the page's reach gives one gap and "Guild Ledger (!)", the watch resumes signed in after
// a restart, the exported sign-in serves coffer-cli, and a forgotten sign-in shows at the next fetch.
// Pages that are no whole bank log give their lines and add nothing.
#include "genlog/banklog_generator.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/ledger/ledger_watch.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <sys/stat.h>

namespace coffer {

using test::MainWindowHarness;
using test::RunUntil;

namespace {

// The site, told what to do on its standard input: "add N", "mode MODE", "served FILE".
constexpr const char* kSiteDriver = R"(
import sys
sys.path.insert(0, sys.argv[1])
import armory_site
site = armory_site.ArmorySite(shown=5, entries=5)
print(site.log_address(), flush=True)
for line in sys.stdin:
    word, value = line.split()
    if word == "add":
        site.add(int(value))
    elif word == "mode":
        site.set_mode(value)
    else:
        open(value, "wb").write(site.served_log())
    print("done", flush=True)
)";

constexpr std::chrono::milliseconds kShortInterval{300};

QString LastLine(const LedgerWatch& watch) {
    return watch.lines().isEmpty() ? QString() : watch.lines().last();
}

} // namespace

class MainWindowWatchTest : public QObject {
    Q_OBJECT
  private:
    QProcess site_;
    QString address_;

    void tellSite(const QByteArray& line) {
        site_.write(line + '\n');
        while (!site_.canReadLine())
            QVERIFY(site_.waitForReadyRead(10000));
        const QByteArray said = site_.readLine();
        QVERIFY2(said.trimmed() == "done", said.constData());
    }

    // Waits for the watch's next fetch; its last line, or nothing when none came.
    static QString nextFetch(const LedgerWatch& watch) {
        const QString last = LastLine(watch);
        return RunUntil([&] { return LastLine(watch) != last; }, 30000) ? LastLine(watch) : QString();
    }

    static int runCli(const QStringList& arguments, QString* output = nullptr) {
        QProcess cli;
        cli.start(QStringLiteral(COFFER_CLI), arguments);
        cli.waitForFinished(60000);
        if (output != nullptr)
            *output = QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
        return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    }

  private slots:
    void initTestCase() {
        site_.start(QStringLiteral("python3"),
                    {QStringLiteral("-c"), QString::fromLatin1(kSiteDriver), QStringLiteral(COFFER_SUPPORT)});
        while (!site_.canReadLine())
            QVERIFY(site_.waitForReadyRead(20000));
        address_ = QString::fromLatin1(site_.readLine().trimmed());
        QVERIFY(address_.endsWith(u"/guild-bank-log.xml"));
    }

    void cleanupTestCase() {
        site_.closeWriteChannel();
        site_.waitForFinished(10000);
    }

    // A bank log page saved to a file is offered the watch, which cannot fetch it: the box stays clear.
    void aSavedPageIsNotWatched() {
        const QTemporaryDir folder;
        QFile page(folder.filePath(QStringLiteral("guild-bank-log.xml")));
        QVERIFY(page.open(QIODevice::WriteOnly) && page.write("<?xml version=\"1.0\"?><page/>") > 0);
        page.close();
        MainWindowHarness harness({}, {}, nullptr, folder.filePath(QStringLiteral("profile")));
        auto* watchBox = harness.find<QCheckBox>("chkWatch");
        harness.find<QWebEngineView>("WebBrowser1")->load(QUrl::fromLocalFile(page.fileName()));
        QVERIFY(RunUntil([&] { return watchBox->isVisible(); }, 30000));
        watchBox->click();
        QVERIFY(!harness.window().watch().watching());
        QVERIFY(!watchBox->isChecked());
    }

    void watchFillsTheLedgerAcrossAnOutageAndARestart() {
        const QTemporaryDir browser;
        QSettings store(browser.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        MainWindowHarness harness({}, {}, &store, browser.filePath(QStringLiteral("profile")));
        auto* view = harness.find<QWebEngineView>("WebBrowser1");
        auto* watchBox = harness.find<QCheckBox>("chkWatch");
        // Signing in: the form's answer sends the browser to the log, where the watch is offered.
        bool loaded = false;
        connect(view, &QWebEngineView::loadFinished, this, [&loaded] { loaded = true; });
        view->load(QUrl(address_).resolved(QUrl(QStringLiteral("/signin"))));
        QVERIFY(RunUntil([&] { return loaded && view->url().path() == u"/signin"; }, 30000));
        view->page()->runJavaScript(QStringLiteral("document.forms[0].submit()"));
        QVERIFY(RunUntil([&] { return watchBox->isVisible(); }, 30000));
        QVERIFY(!watchBox->isChecked());

        watchBox->click();
        LedgerWatch* watch = &harness.window().watch();
        watch->setIntervalForTesting(kShortInterval);
        QCOMPARE(watch->address(), address_);
        {
            const QString line = nextFetch(*watch);
            QVERIFY2(line.contains(u": 5 entries, 5 new to the ledger"), qPrintable(line));
        }
        for (int arriving : {2, 4, 1}) {
            tellSite("add " + QByteArray::number(arriving));
            QVERIFY(RunUntil([&] { return LastLine(*watch).contains(QStringLiteral("%1 new").arg(arriving)); }, 30000));
        }
        // The entries list follows each page added, as after an add of the window's own.
        QTRY_COMPARE(harness.find<QLabel>("lblEntryCount")->text(), QStringLiteral("12 entries"));
        // An outage beyond the page's reach: three failures warn on the navigation, a success ends it.
        auto* navigation = harness.find<QPushButton>("cmdLedger");
        tellSite("mode 503");
        tellSite("add 8");
        QVERIFY(RunUntil([&] { return watch->failuresInARow() >= 3; }, 30000));
        QTRY_COMPARE(navigation->text(), QStringLiteral("Guild Ledger (!)"));
        QVERIFY(navigation->toolTip().endsWith(address_ + QStringLiteral(": the page could not be loaded: HTTP 503")));
        tellSite("mode ok");
        QVERIFY(RunUntil([&] { return watch->failuresInARow() == 0; }, 30000));
        QCOMPARE(navigation->text(), QStringLiteral("Guild Ledger"));
        QVERIFY(watch->lines().filter(QStringLiteral("may be missing: no paste covered that time.")).size() == 1);
        QTRY_COMPARE(harness.find<QListWidget>("lstLedgerGaps")->count(), 1);
        QCOMPARE(harness.find<QListWidget>("lstWatchLines")->count(), watch->lines().size());

        // The sign-in exported is the owner's alone, and serves coffer-cli.
        const QString cookies = browser.filePath(QStringLiteral("cookies.txt"));
        harness.dialogs().confirmAnswers << true;
        harness.dialogs().saveAnswers << cookies;
        harness.click("mnuExportSignIn");
        QVERIFY2(!harness.dialogs().questions.isEmpty(), qPrintable(harness.dialogs().messages.join(u'\n')));
        QVERIFY(harness.dialogs().questions.last().contains(u"secret"));
        struct stat status {};
        QCOMPARE(::stat(cookies.toLocal8Bit().constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        const QString other = browser.filePath(QStringLiteral("other.sqlite"));
        QString said;
        QCOMPARE(runCli({QStringLiteral("--ledger"), other, QStringLiteral("--fetch"), address_,
                         QStringLiteral("--cookies"), cookies},
                        &said),
                 0);
        QVERIFY2(said.contains(u"5 entries, 5 new"), qPrintable(said));

        // A fetch that comes due during a run waits for its end.
        coffer::bench::BankLogGeneratorOptions log;
        log.entry_count = 200'000;
        harness.setLog(coffer::bench::GenerateBankLog(log));
        bool runDone = false, fetchedDuringRun = false;
        connect(&harness.window(), &MainWindow::reportWritten, this, [&runDone] { runDone = true; });
        const QString beforeRun = LastLine(*watch);
        harness.click("cmdAnalyze");
        QVERIFY(RunUntil(
            [&] {
                fetchedDuringRun |= !runDone && LastLine(*watch) != beforeRun;
                return runDone;
            },
            60000));
        QVERIFY(!fetchedDuringRun);
        QVERIFY(nextFetch(*watch).contains(u" new to the ledger"));

        // After a restart the watch goes on signed in, and says that it was resumed.
        harness.restart();
        watch = &harness.window().watch();
        watchBox = harness.find<QCheckBox>("chkWatch");
        QVERIFY(watch->watching());
        QVERIFY(harness.find<QLabel>("lblWatch")->text().startsWith(u"Resumed"));
        tellSite("add 3");
        {
            const QString line = nextFetch(*watch);
            QVERIFY2(line.contains(u": 5 entries, 3 new to the ledger"), qPrintable(line));
        }

        // The ledger holds the very entries the site served, member for member.
        harness.click("cmdStopWatching");
        QVERIFY(!watch->watching() && !watchBox->isChecked());
        const QString served = browser.filePath(QStringLiteral("served.xml"));
        tellSite("served " + served.toLocal8Bit());
        QStringList tables;
        for (const QStringList& source :
             {QStringList{QStringLiteral("--ledger"), harness.folder() + QStringLiteral("/ledger.sqlite")},
              QStringList{served}}) {
            const QString members = browser.filePath(QStringLiteral("members-%1.tsv").arg(tables.size()));
            QCOMPARE(runCli(source + QStringList{QStringLiteral("--quiet"), QStringLiteral("-o"),
                                                 browser.filePath(QStringLiteral("report.html")),
                                                 QStringLiteral("--members"), members}),
                     0);
            tables << QString::fromUtf8(test::ReadAll(members));
        }
        QVERIFY(!tables[0].isEmpty());
        QCOMPARE(tables[0], tables[1]);

        // Forgetting the sign-ins leaves the next fetch signed out; the watch goes on.
        watch->start(address_, 1);
        watch->setIntervalForTesting(kShortInterval);
        {
            const QString line = nextFetch(*watch);
            QVERIFY2(line.contains(u" new to the ledger"), qPrintable(line));
        }
        harness.dialogs().confirmAnswers << true;
        harness.click("mnuForgetSignIns");
        QVERIFY2(RunUntil([&] { return LastLine(*watch).endsWith(u"sign in again in the Browser panel"); }, 30000),
                 qPrintable(watch->lines().join(u"\n")));
        QVERIFY(watch->watching());
    }

    // What the watch's request sees of pages that are no whole bank log (the browser inflates a
    // compressed page before the request sees it): each gives its line, the sign-in line the watch's
    // own, and none goes into the ledger.
    void pagesThatAreNoWholeBankLogAreNotAdded() {
        MainWindowHarness harness;
        LedgerWatch& watch = harness.window().watch();
        int added = 0;
        connect(&watch, &LedgerWatch::added, this, [&added] { ++added; });
        const QString notLoaded = address_ + QStringLiteral(": the page could not be loaded: "),
                      signIn = address_ +
                               QStringLiteral(": the armory shows no bank log; sign in again in the Browser panel");
        const std::pair<QByteArray, QString> cases[] = {
            {"ok", signIn}, // signed out: the armory's sign-in page
            {"xhtml-sign-in", signIn},
            {"error-page", signIn},
            {"partial", notLoaded + QStringLiteral("HTTP 206")},
            {"unclosed", notLoaded + QStringLiteral("the page was cut short")},
        };
        tellSite("mode ok");
        QVERIFY(watch.start(address_, 1));
        watch.setIntervalForTesting(kShortInterval);
        for (const auto& [mode, line] : cases) {
            // The fetch under way may have been answered before the change: the next one is this mode's.
            const int failures = watch.failuresInARow();
            tellSite("mode " + mode);
            QVERIFY2(RunUntil([&] { return watch.failuresInARow() >= failures + 2; }, 30000),
                     qPrintable(watch.lines().join(u'\n')));
            QVERIFY2(LastLine(watch).endsWith(line), qPrintable(mode + ": " + LastLine(watch)));
        }
        QCOMPARE(added, 0);
        watch.stop();
        tellSite("mode ok");
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowWatchTest)
#include "main_window_watch_test.moc"
