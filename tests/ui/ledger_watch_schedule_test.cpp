// SPDX-License-Identifier: MIT
// The watch's schedule without a web page: a page of the test's own answers each fetch as the test tells
// it, and what it brings goes into a real ledger file. When fetches run and wait, what each answer tells
// and does to the page, the lines kept, the interval, a fetch abandoned and an add stopped.
#include "genlog/banklog_generator.h"
#include "tests/ui/support/main_window_harness.h"
#include "tests/ui/support/step_hold.h"
#include "ui/base/activity.h"
#include "ui/ledger/ledger_watch.h"
#include "ui/ledger/page_fetcher.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace coffer {

using test::RunUntil;
using test::StepHold;

namespace {

constexpr auto kAddress = "http://armory.localhost/guild-bank-log.xml";
constexpr int kWaitMs = 10000;

// The watched site's page as the test has it answer: opened (or, for the opens numbered in
// `failingOpens`, not) once the events run, and each fetch in flight until the test ends it.
class AnsweringPage final : public PageFetcher {
  public:
    QList<int> failingOpens;
    int opens = 0;
    int opensAnswered = 0;
    int fetches = 0;

    bool inFlight() const { return inFlight_; }
    void open(const QString&) override {
        drop();
        QTimer::singleShot(0, this, [this, page = page_, number = ++opens] {
            if (page != page_)
                return;
            ++opensAnswered;
            if (failingOpens.contains(number))
                emit notOpened(QStringLiteral("the page could not be opened"));
            else
                emit opened();
        });
    }
    void fetch() override {
        ++fetches;
        inFlight_ = true;
    }
    void drop() override {
        ++page_;
        inFlight_ = false;
    }
    void answer(const QString& page) {
        inFlight_ = false;
        emit arrived(page);
    }
    void fail(const QString& reason) {
        inFlight_ = false;
        emit failed(reason);
    }

  private:
    int page_ = 0; // a page dropped says nothing any more
    bool inFlight_ = false;
};

// The ledger file's bytes and those of its write-ahead log, if any: read while no connection holds it, as
// the watch holds its own only during an add.
QByteArray LedgerBytes(const std::string& ledger) {
    QByteArray bytes;
    for (const char* suffix : {"", "-wal"}) {
        QFile file(QString::fromStdString(ledger + suffix));
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll() + '|';
    }
    return bytes;
}

QString BankLog(std::size_t entries, std::uint64_t seed = 1) {
    bench::BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.seed = seed;
    return QString::fromStdString(bench::GenerateBankLog(options));
}

// A watch of kAddress into a ledger file of its own; the test sets the window's work and the ledger's
// reading.
struct Watched {
    QTemporaryDir folder;
    const std::string ledger = folder.filePath(QStringLiteral("ledger.sqlite")).toStdString();
    bool ledgerBusy = false;
    ActivityState activity{[] {}};
    AnsweringPage& page = *new AnsweringPage;
    LedgerWatch watch{std::unique_ptr<PageFetcher>(&page), activity,
                      LedgerWatch::Ledger{.path = [this] { return ledger; }, .busy = [this] { return ledgerBusy; }}};
    QSignalSpy added{&watch, &LedgerWatch::added};

    bool start() { return watch.start(QString::fromLatin1(kAddress), LedgerWatch::kDefaultMinutes); }
    bool fetchInFlight() const {
        return RunUntil([this] { return page.inFlight(); }, kWaitMs);
    }
    // Waits for a line told since there were `before`.
    bool told(qsizetype before) const {
        return RunUntil([&] { return watch.lines().size() > before; }, kWaitMs);
    }
};

} // namespace

class LedgerWatchScheduleTest : public QObject {
    Q_OBJECT
  private slots:
    // A fetch, and the add of the page it brought, wait while the window works or the ledger is read, and
    // go on once that ends.
    void fetchesWaitForTheWindowsWork() {
        struct Busy {
            const char* what;
            Activity work;
            bool ledgerRead;
            bool beforeTheAdd; // else before the fetch
        };
        const Busy rows[] = {
            {"a run", Activity::Analysing, false, false},
            {"an import", Activity::Importing, false, true},
            {"the ledger read", Activity::Idle, true, false},
            {"the ledger read", Activity::Idle, true, true},
        };
        for (const Busy& row : rows) {
            Watched w;
            const auto work = [&](bool on) {
                w.ledgerBusy = on && row.ledgerRead;
                if (row.work != Activity::Idle)
                    on ? w.activity.begin(row.work) : w.activity.end();
            };
            if (!row.beforeTheAdd)
                work(true);
            QVERIFY(w.start());
            if (row.beforeTheAdd) {
                QVERIFY(w.fetchInFlight());
                work(true);
                w.page.answer(BankLog(3));
            }
            QVERIFY2(RunUntil([&] { return w.watch.waitingForWindow(); }, kWaitMs), row.what);
            QCOMPARE(w.page.fetches, row.beforeTheAdd ? 1 : 0);
            QVERIFY(w.added.isEmpty() && w.watch.lines().isEmpty());
            work(false);
            QVERIFY2(row.beforeTheAdd ? w.added.wait(kWaitMs) : w.fetchInFlight(), row.what);
        }
    }

    // Each answer tells its line; failures count in a row until a page goes in. An answer of the site
    // ("HTTP …") keeps the page, any other failure has the next fetch go from a page opened anew. The
    // last 50 lines are kept.
    void eachAnswerTellsItsLineAndKeepsOrDropsThePage() {
        enum class Answer { Failure, Page, NotOpened };
        struct Step {
            Answer answer;
            QString given;
            int pagesOpened; // when the fetch went out (not checked for an open that fails)
            const char* line;
            int failures;
        };
        const QString signedOut = QStringLiteral("<html><body><form action=\"/signin\"></form></body></html>");
        const Step steps[] = {
            {Answer::Failure, QStringLiteral("HTTP 503"), 1, ": the page could not be loaded: HTTP 503", 1},
            {Answer::Failure, QStringLiteral("the connection failed"), 1,
             ": the page could not be loaded: the connection failed", 2},
            {Answer::NotOpened, {}, 0, ": the page could not be loaded: the page could not be opened", 3},
            {Answer::Page, signedOut, 3, ": the armory shows no bank log; sign in again in the Browser panel", 4},
            {Answer::Page, BankLog(3), 3, ": 3 entries, 3 new to the ledger", 0},
            {Answer::Failure, QStringLiteral("the page was not complete within 60 seconds"), 3,
             ": the page could not be loaded: the page was not complete within 60 seconds", 1},
            {Answer::Page, BankLog(2, 2), 4, ": 2 entries, 2 new to the ledger", 0},
        };
        Watched w;
        w.page.failingOpens = {2};
        QVERIFY(w.start());
        w.watch.setIntervalForTesting(std::chrono::milliseconds(20));
        for (const Step& step : steps) {
            const qsizetype before = w.watch.lines().size();
            if (step.answer != Answer::NotOpened) {
                QVERIFY(w.fetchInFlight());
                QCOMPARE(w.page.opens, step.pagesOpened);
                step.answer == Answer::Page ? w.page.answer(step.given) : w.page.fail(step.given);
            }
            QVERIFY(w.told(before));
            const QString line = w.watch.lines().at(before);
            QVERIFY2(line.endsWith(QString::fromLatin1(kAddress) + QLatin1String(step.line)), qPrintable(line));
            QCOMPARE(w.watch.failuresInARow(), step.failures);
        }
        // Each page added tells the ledger it went into, and what that holds now.
        QCOMPARE(w.added.size(), 2);
        for (const std::size_t pastes : {1u, 2u}) {
            const QList<QVariant>& added = w.added[pastes - 1];
            const auto summary = added[1].value<LedgerSummary>();
            std::uint64_t hourCopies = 0;
            for (const HourCount& hour : added[2].value<std::vector<HourCount>>())
                hourCopies += hour.copies;
            QCOMPARE(added[0].value<std::string>(), w.ledger);
            QCOMPARE(summary.pastes.size(), pastes);
            QCOMPARE(summary.totals.entries, pastes == 1 ? 3u : 5u);
            QCOMPARE(hourCopies, summary.totals.entries);
        }
        // The last 50 lines are kept; the failures in a row count on.
        for (int status = 500; status < 560; ++status) {
            QVERIFY(w.fetchInFlight());
            w.page.fail(QStringLiteral("HTTP %1").arg(status));
        }
        QCOMPARE(w.watch.lines().size(), LedgerWatch::kLinesKept);
        QVERIFY(w.watch.lines().first().endsWith(u"HTTP 510"));
        QVERIFY(w.watch.lines().last().endsWith(u"HTTP 559"));
        QCOMPARE(w.watch.failuresInARow(), 60);
    }

    // The interval is 1 to 1440 minutes; the next fetch comes one interval after the last one, whenever
    // the interval changes.
    void theIntervalCountsFromTheLastFetch() {
        Watched w;
        QVERIFY(w.start());
        QVERIFY(w.fetchInFlight());
        w.page.fail(QStringLiteral("HTTP 500"));
        const std::pair<int, int> minutes[] = {{-5, 1}, {0, 1}, {1, 1}, {15, 15}, {1440, 1440}, {1441, 1440}};
        for (const auto& [asked, kept] : minutes) {
            w.watch.setMinutes(asked);
            QCOMPARE(w.watch.minutes(), kept);
            // The timer keeps whole seconds for so long an interval.
            const qint64 after = w.watch.lastFetch().msecsTo(w.watch.nextFetch());
            QVERIFY2(std::abs(after - kept * 60'000) <= 1500, qPrintable(QString::number(after)));
        }
        // An interval shorter than the time since the last fetch makes the next one due at once.
        const std::chrono::milliseconds interval(100);
        QVERIFY(RunUntil(
            [&] { return w.watch.lastFetch().msecsTo(QDateTime::currentDateTime()) > 2 * interval.count(); }, kWaitMs));
        w.watch.setIntervalForTesting(interval);
        QVERIFY(w.watch.nextFetch() <= QDateTime::currentDateTime());
        QVERIFY(w.fetchInFlight());
    }

    // The next fetch goes at once after a failure of a fetch that came due while it went on (from a page
    // opened anew when the failure drops the page), and after a stop and start or a page opened anew,
    // which abandon the fetch in flight and drop its page.
    void theNextFetchGoesAtOnce() {
        const struct {
            const char* reason; // the failure; none: the watch stops, or opens its page anew
            bool stop;
            int opens;
        } rows[] = {
            {"HTTP 503", false, 1}, {"the connection failed", false, 2}, {nullptr, true, 2}, {nullptr, false, 2}};
        for (const auto& row : rows) {
            Watched w;
            QVERIFY(w.start());
            QVERIFY(w.fetchInFlight());
            if (row.reason) {
                w.watch.setIntervalForTesting(std::chrono::milliseconds(1));
                QVERIFY(
                    RunUntil([&] { return w.watch.lastFetch().msecsTo(QDateTime::currentDateTime()) > 50; }, kWaitMs));
                w.page.fail(QString::fromLatin1(row.reason));
            } else {
                row.stop ? w.watch.stop() : w.watch.reopenPage(std::chrono::milliseconds(0));
                QVERIFY(!w.page.inFlight());
                QCOMPARE(w.watch.watching(), !row.stop);
                if (row.stop)
                    QVERIFY(w.start());
            }
            QVERIFY(w.fetchInFlight());
            QCOMPARE(w.page.opens, row.opens);
            QCOMPARE(w.page.fetches, 2);
            QCOMPARE(w.watch.lines().size(), row.reason ? 1 : 0); // an abandoned fetch tells nothing
        }
    }

    // A stop during the add ends it as soon as it can. Until the add's thread has ended the watch is
    // stopping and the add stays the window's work, and a watch started again meanwhile waits to fetch;
    // then a line tells what the add came to. Stopped before its commit, it added nothing: the ledger is
    // byte for byte as it was. Once its commit has begun, the page went in and the ledger shown hears of it.
    void aStopDuringTheAddTellsWhatItCameTo() {
        struct Stop {
            AddStep at;
            bool startAgain;
            const char* line;
        };
        const Stop rows[] = {
            // The last step before the commit: a small page's add reaches it without asking its progress.
            {AddStep::Pastes, false, ": stopped: nothing was added"},
            {AddStep::Entries, true, ": stopped: nothing was added"},
            {AddStep::Commit, false, ": 2 entries, 2 new to the ledger"},
        };
        for (const Stop& row : rows) {
            Watched w;
            QVERIFY(w.start());
            QVERIFY(w.fetchInFlight());
            w.page.answer(BankLog(3));
            QVERIFY(w.added.wait(kWaitMs));
            const QByteArray before = LedgerBytes(w.ledger);
            w.watch.setIntervalForTesting(std::chrono::milliseconds(1));
            QVERIFY(w.fetchInFlight());
            StepHold hold(w.watch, {row.at});
            w.page.answer(BankLog(2, 2));
            QCOMPARE(hold.waitHeld(), std::optional(row.at));
            const qsizetype lines = w.watch.lines().size();
            w.watch.stop();
            QVERIFY(w.watch.stopping());
            if (row.startAgain) {
                QVERIFY(w.start());
                QVERIFY(RunUntil([&] { return w.page.opensAnswered == 2; }, kWaitMs));
                QVERIFY(!w.watch.stopping());
            }
            QCOMPARE(w.activity.foreground(), Activity::AddingToLedger);
            QCOMPARE(w.page.fetches, 2);
            QCOMPARE(w.watch.lines().size(), lines);
            hold.release();
            QVERIFY(RunUntil([&] { return !w.watch.adding(); }, kWaitMs));
            QVERIFY(!w.watch.stopping());
            QVERIFY(w.activity.idle());
            QVERIFY(w.told(lines));
            const QString line = w.watch.lines().at(lines);
            QVERIFY2(line.endsWith(QString::fromLatin1(kAddress) + QLatin1String(row.line)), qPrintable(line));
            QCOMPARE(w.watch.failuresInARow(), 0);
            const bool wentIn = row.at == AddStep::Commit;
            QCOMPARE(w.added.size(), wentIn ? 2 : 1);
            if (wentIn)
                QCOMPARE(w.added.last()[1].value<LedgerSummary>().totals.entries, 5u);
            else
                QVERIFY(LedgerBytes(w.ledger) == before);
            QCOMPARE(w.watch.watching(), row.startAgain);
            if (row.startAgain)
                QVERIFY(w.fetchInFlight());
        }
    }
};

} // namespace coffer

QTEST_GUILESS_MAIN(coffer::LedgerWatchScheduleTest)
#include "ledger_watch_schedule_test.moc"
