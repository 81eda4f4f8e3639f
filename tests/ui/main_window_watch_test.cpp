// SPDX-License-Identifier: MIT
// The watch in the window, against a local armory of each test's own (tests/support/armory_site.py,
// driven line by line), signed in through the Browser panel. ledger_watch_schedule_test tests the
// schedule on its own.
#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/step_hold.h"
#include "ui/item_lookup_services.h"
#include "ui/ledger/ledger_watch.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <sys/stat.h>

namespace coffer {

using test::MainWindowHarness;
using test::RunUntil;
using test::StepHold;

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

    // Signs in through the Browser panel, whose form's answer sends the browser to the log, and ticks the
    // watch offered there, fetching every `interval`; the line of its first fetch.
    QString watchSignedIn(MainWindowHarness& harness, std::chrono::milliseconds interval = kShortInterval) {
        auto* view = harness.find<QWebEngineView>("WebBrowser1");
        auto* watchBox = harness.find<QCheckBox>("chkWatch");
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->load(QUrl(address_).resolved(QUrl(QStringLiteral("/signin"))));
        if (!RunUntil([&] { return !loaded.isEmpty() && view->url().path() == u"/signin"; }, 30000))
            return QStringLiteral("the sign-in page did not open");
        view->page()->runJavaScript(QStringLiteral("document.forms[0].submit()"));
        if (!RunUntil([&] { return watchBox->isVisible(); }, 30000) || watchBox->isChecked())
            return QStringLiteral("the watch was not offered");
        watchBox->click();
        LedgerWatch& watch = harness.window().watch();
        watch.setIntervalForTesting(interval);
        return watch.address() == address_ ? nextFetch(watch) : watch.address();
    }

  private slots:
    void init() {
        site_.start(QStringLiteral("python3"),
                    {QStringLiteral("-c"), QString::fromLatin1(kSiteDriver), QStringLiteral(COFFER_SUPPORT)});
        while (!site_.canReadLine())
            QVERIFY(site_.waitForReadyRead(20000));
        address_ = QString::fromLatin1(site_.readLine().trimmed());
        QVERIFY(address_.endsWith(u"/guild-bank-log.xml"));
    }

    void cleanup() {
        site_.closeWriteChannel();
        site_.waitForFinished(10000);
    }

    // Page after page goes into the ledger, the entries list following each as after an add of the
    // window's own. An outage beyond the page's reach: from the third failure in a row the navigation
    // warns, the last failure as its tooltip, until a fetch succeeds; the entries it hid make one gap,
    // which the panel lists. Stopped during an add, the watch shows that it is stopping and keeps the
    // window's work until the add has ended, then says what came of it; the ledger holds the very entries
    // the site served, member for member.
    void theLedgerHoldsWhatTheSiteServed() {
        MainWindowHarness harness;
        const QString first = watchSignedIn(harness);
        QVERIFY2(first.contains(u": 5 entries, 5 new to the ledger"), qPrintable(first));
        LedgerWatch& watch = harness.window().watch();
        for (int arriving : {2, 4, 1}) {
            tellSite("add " + QByteArray::number(arriving));
            QVERIFY(RunUntil([&] { return LastLine(watch).contains(QStringLiteral("%1 new").arg(arriving)); }, 30000));
        }
        QTRY_COMPARE(harness.find<QLabel>("lblEntryCount")->text(), QStringLiteral("12 entries: everything"));
        auto* navigation = harness.find<QPushButton>("cmdLedger");
        tellSite("mode 503");
        tellSite("add 8");
        bool warnedEarly = false;
        QVERIFY(RunUntil(
            [&] {
                warnedEarly |= watch.failuresInARow() < 3 && navigation->text() != u"Guild Ledger";
                return watch.failuresInARow() >= 3;
            },
            30000));
        QVERIFY(!warnedEarly);
        QCOMPARE(navigation->text(), QStringLiteral("Guild Ledger (!)"));
        QVERIFY(navigation->toolTip().endsWith(address_ + QStringLiteral(": the page could not be loaded: HTTP 503")));
        tellSite("mode ok");
        QVERIFY(RunUntil([&] { return watch.failuresInARow() == 0; }, 30000));
        QCOMPARE(navigation->text(), QStringLiteral("Guild Ledger"));
        QCOMPARE(watch.lines().filter(QStringLiteral("may be missing: no paste covered that time.")).size(), 1);
        QTRY_COMPARE(harness.find<QListWidget>("lstLedgerGaps")->count(), 1);
        QCOMPARE(harness.find<QListWidget>("lstWatchLines")->count(), watch.lines().size());
        {
            StepHold hold(watch, {AddStep::Read});
            QCOMPARE(hold.waitHeld(), std::optional(AddStep::Read));
            harness.click("cmdStopWatching");
            QVERIFY(!watch.watching() && !harness.find<QCheckBox>("chkWatch")->isChecked());
            QVERIFY(!harness.find<QWidget>("fraWatch")->isHidden());
            QVERIFY2(harness.find<QLabel>("lblWatch")->text().endsWith(u"Next fetch: stopping…"),
                     qPrintable(harness.find<QLabel>("lblWatch")->text()));
            for (const char* control : {"cmdStopWatching", "cmdLedgerAdd", "cmdAnalyze"})
                QVERIFY2(!harness.find<QWidget>(control)->isEnabled(), control);
        }
        QVERIFY(RunUntil([&] { return !watch.adding(); }, 30000));
        QVERIFY2(LastLine(watch).endsWith(address_ + QStringLiteral(": stopped: nothing was added")),
                 qPrintable(LastLine(watch)));
        QCOMPARE(harness.find<QLabel>("lblLedgerStatus")->text(), LastLine(watch));
        QVERIFY(harness.find<QWidget>("fraWatch")->isHidden());
        QVERIFY(harness.find<QWidget>("cmdAnalyze")->isEnabled());
        const QString served = harness.folder() + QStringLiteral("/served.xml");
        tellSite("served " + served.toLocal8Bit());
        const auto members = [&harness](const QStringList& source) {
            const QString table = harness.folder() + QStringLiteral("/members.tsv");
            return runCli(source + QStringList{QStringLiteral("--quiet"), QStringLiteral("-o"),
                                               harness.folder() + QStringLiteral("/out.html"),
                                               QStringLiteral("--members"), table}) == 0
                       ? test::ReadAll(table)
                       : QByteArray();
        };
        const QByteArray inLedger =
            members({QStringLiteral("--ledger"), harness.folder() + QStringLiteral("/ledger.sqlite")});
        QVERIFY(!inLedger.isEmpty());
        QCOMPARE(inLedger, members({served}));
    }

    // A fetch that comes due during a run waits for its end: here the first one, of a watch started while
    // the run waits for an item database that never answers.
    void aFetchDueDuringARunWaitsForItsEnd() {
        testing::LoreholdSite items;
        items.setPage(ItemSearchAddress("", "Iron Nails"), {.fault = testing::Fault::NeverAnswers});
        MainWindowServices services;
        services.priceSource = WebPriceSources(items.base());
        MainWindowHarness harness(std::move(services));
        harness.setLog(testing::BankLog({{"Ann", "1", "Iron Nails"}}));
        harness.find<QCheckBox>("chkLorehold")->setChecked(true);
        harness.click("cmdAnalyze");
        QVERIFY(RunUntil([&] { return items.requestCount() == 1; }, 30000));
        LedgerWatch& watch = harness.window().watch();
        QVERIFY(watch.start(address_, 1));
        QVERIFY(RunUntil([&] { return watch.waitingForWindow() || watch.lastFetch().isValid(); }, 30000));
        QVERIFY(!watch.lastFetch().isValid());
        harness.click("cmdCancel");
        const QString line = nextFetch(watch);
        QVERIFY2(line.endsWith(u"sign in again in the Browser panel"), qPrintable(line));
    }

    // After a restart the watch goes on signed in, says that it was resumed, and keeps the lines of the
    // fetches before, which outlast "Stop watching" and another restart in a file the user alone can read.
    // The interval shown is the one the settings hold, the watch on or off.
    void theWatchResumesAfterARestartWithItsIntervalAndLines() {
        const QTemporaryDir browser;
        QSettings store(browser.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        store.setValue(QStringLiteral("watch/minutes"), 7);
        MainWindowHarness harness({}, {}, &store, browser.filePath(QStringLiteral("profile")));
        QCOMPARE(harness.find<QSpinBox>("spnWatchMinutes")->value(), 7);
        // At its first interval the watch fetches no more before the restart.
        QVERIFY(!watchSignedIn(harness, std::chrono::minutes(7)).isEmpty());
        const QStringList before = harness.window().watch().lines();
        tellSite("add 3");
        // The profile writes the sign-in to its cookie file as it goes, behind the window's back.
        const QDateTime signedIn = QDateTime::currentDateTime();
        const QString cookies = browser.filePath(QStringLiteral("profile/Cookies"));
        QVERIFY(harness.restart([&] { return QFileInfo(cookies).lastModified() > signedIn; }));
        QVERIFY(harness.window().watch().watching());
        QVERIFY(harness.find<QLabel>("lblWatch")->text().startsWith(u"Resumed"));
        const QString line = nextFetch(harness.window().watch());
        QVERIFY2(line.contains(u": 5 entries, 3 new to the ledger"), qPrintable(line));
        QCOMPARE(harness.window().watch().lines(), before + QStringList{line});
        harness.click("cmdStopWatching");
        QVERIFY(harness.restart());
        QVERIFY(!harness.window().watch().watching());
        QCOMPARE(harness.find<QSpinBox>("spnWatchMinutes")->value(), 7);
        QCOMPARE(harness.window().watch().lines(), before + QStringList{line});
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(harness.folder() + QStringLiteral("/watch-lines.txt")).constData(), &status),
                 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
    }

    // The sign-in of the watched site, exported, is the owner's alone and serves coffer-cli. "Forget
    // Sign-ins…" asks Yes or No. No keeps the sign-ins: the next fetch goes in. Yes leaves the next fetch
    // signed out, from a page opened anew (one whose request was under way as the cache was cleared would
    // never end); the watch goes on.
    void theSignInIsExportedOrForgotten() {
        MainWindowHarness harness;
        QVERIFY(!watchSignedIn(harness).isEmpty());
        const QString cookies = harness.folder() + QStringLiteral("/cookies.txt");
        harness.dialogs().confirmAnswers << true;
        harness.dialogs().saveAnswers << cookies;
        harness.click("mnuExportSignIn");
        QVERIFY2(!harness.dialogs().questions.isEmpty(), qPrintable(harness.dialogs().messages.join(u'\n')));
        QVERIFY(harness.dialogs().questions.last().contains(u"secret"));
        struct stat status {};
        QCOMPARE(::stat(cookies.toLocal8Bit().constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        QCOMPARE(harness.status(),
                 QStringLiteral("Wrote the sign-in to %1 to %2.").arg(QUrl(address_).host(), cookies));
        QString said;
        QCOMPARE(runCli({QStringLiteral("--ledger"), harness.folder() + QStringLiteral("/other.sqlite"),
                         QStringLiteral("--fetch"), address_, QStringLiteral("--cookies"), cookies},
                        &said),
                 0);
        QVERIFY2(said.contains(u"5 entries, 5 new"), qPrintable(said));
        LedgerWatch& watch = harness.window().watch();
        harness.dialogs().confirmAnswers << false;
        harness.click("mnuForgetSignIns");
        QCOMPARE(harness.dialogs().buttons.last(), UserDialogs::Buttons::YesNo);
        const QString kept = nextFetch(watch);
        QVERIFY2(kept.contains(u": 5 entries, 0 new to the ledger"), qPrintable(kept));
        harness.dialogs().confirmAnswers << true;
        harness.click("mnuForgetSignIns");
        QVERIFY(RunUntil([&] { return watch.failuresInARow() > 0; }, 30000));
        QVERIFY2(LastLine(watch).endsWith(u"sign in again in the Browser panel"),
                 qPrintable(watch.lines().join(u'\n')));
        QVERIFY(watch.watching());
    }

    // A bank log page saved to a file is offered the watch, which cannot fetch it: the box stays clear.
    // What the watch's request sees of pages that are no whole bank log (the browser inflates a
    // compressed page before the request sees it): each gives its line, the sign-in line the watch's
    // own, and none goes into the ledger.
    void pagesThatAreNoWholeBankLogAreNotAdded() {
        MainWindowHarness harness;
        LedgerWatch& watch = harness.window().watch();
        QSignalSpy added(&watch, &LedgerWatch::added);
        const QString page = harness.writeFile(QStringLiteral("guild-bank-log.xml"), "<?xml version=\"1.0\"?><page/>");
        auto* watchBox = harness.find<QCheckBox>("chkWatch");
        harness.find<QWebEngineView>("WebBrowser1")->load(QUrl::fromLocalFile(page));
        QVERIFY(RunUntil([&] { return watchBox->isVisible(); }, 30000));
        watchBox->click();
        QVERIFY(!watch.watching() && !watchBox->isChecked());
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
        QVERIFY(added.isEmpty());
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowWatchTest)
#include "main_window_watch_test.moc"
