// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_watch.h"

#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "ledger/local_time_text.h"
#include "shell/fetch_address.h"
#include "shell/output_files.h"
#include "ui/base/engine_text.h"
#include "ui/ledger/page_fetcher.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <string_view>
#include <sys/stat.h>

namespace coffer {
namespace {

constexpr std::chrono::milliseconds kLookAgain{200};
// What a page that is no bank log asks of the officer: the watch fetches with the browser's sign-in.
constexpr std::string_view kSignInAgain = "sign in again in the Browser panel";
// The line of an add that a stop ended before its commit, after the time and the address.
constexpr std::string_view kStoppedNothingAdded = ": stopped: nothing was added";
// More than the kept lines ever take: a larger file is no file of the watch's.
constexpr qint64 kLinesFileMaxBytes = 1 << 20;

} // namespace

LedgerWatch::LedgerWatch(std::unique_ptr<PageFetcher> fetcher, ActivityState& activity, Ledger ledger, QObject* parent)
    : QObject(parent), fetcher_(std::move(fetcher)), activity_(activity), ledger_(std::move(ledger)) {
    dueTimer_.setSingleShot(true);
    waitTimer_.setSingleShot(true);
    connect(&dueTimer_, &QTimer::timeout, this, &LedgerWatch::fetchWhenDue);
    reopenTimer_.setSingleShot(true);
    connect(&reopenTimer_, &QTimer::timeout, this, &LedgerWatch::openPage);
    connect(&waitTimer_, &QTimer::timeout, this, &LedgerWatch::startWhenFree);
    connect(fetcher_.get(), &PageFetcher::opened, this, [this] {
        pageReady_ = true;
        startWhenFree();
    });
    connect(fetcher_.get(), &PageFetcher::notOpened, this, [this](const QString& reason) {
        pageReady_ = false; // opened again at the next fetch
        tell(FetchNotLoaded(recordAddress_, reason.toStdString()));
        dueTimer_.start(interval_);
        startWhenFree();
    });
    connect(fetcher_.get(), &PageFetcher::arrived, this, [this](const QString& page) {
        pageText_ = page.toStdString();
        stage_ = Stage::PageHere;
        startWhenFree();
    });
    connect(fetcher_.get(), &PageFetcher::failed, this, &LedgerWatch::failFetch);
    connect(&worker_, &WorkerThread::finished, this, &LedgerWatch::onAdded);
}

LedgerWatch::~LedgerWatch() {
    blockSignals(true); // the window that shows the watch, and its activity, are going
    stop();             // the worker then waits for the add's end
}

bool LedgerWatch::start(const QString& address, int minutes) {
    const std::optional<std::string> record = FetchRecordAddress(address.toStdString());
    stop();
    if (!record)
        return false;
    if (*record != recordAddress_)
        lines_.clear(); // the lines of the page watched before would mislead
    recordAddress_ = *record;
    // Fetched with its query whole: a sign-in the query holds counts. The browser's own sign-in takes the
    // place of user information, which the settings never keep.
    address_ = QUrl(address).adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
    failures_ = 0;
    lastFetch_ = {};
    openPage();
    due_ = true;
    setMinutes(minutes);
    return true;
}

void LedgerWatch::fetchWhenDue() {
    due_ = true;
    if (watching() && !pageReady_ && !reopenTimer_.isActive())
        openPage();
    startWhenFree();
}

void LedgerWatch::openPage() {
    dropPage();
    fetcher_->open(address_);
}

void LedgerWatch::dropPage() {
    fetcher_->drop();
    pageReady_ = false;
    if (stage_ == Stage::Fetching) { // abandoned: it is fetched again from the new page
        stage_ = Stage::Idle;
        due_ = true;
    }
}

void LedgerWatch::reopenPage(std::chrono::milliseconds after) {
    if (!watching())
        return;
    dropPage();
    reopenTimer_.start(after);
}

void LedgerWatch::setMinutes(int minutes) {
    minutes_ = std::clamp(minutes, kMinMinutes, kMaxMinutes);
    setIntervalForTesting(std::chrono::minutes(minutes_));
}

void LedgerWatch::setIntervalForTesting(std::chrono::milliseconds interval) {
    interval_ = interval;
    if (!watching())
        return;
    // The next fetch comes one new interval after the last one; while the first is still to come, the
    // timer opens the page again should its loading never end.
    const qint64 since = lastFetch_.isValid() ? lastFetch_.msecsTo(QDateTime::currentDateTime()) : 0;
    dueTimer_.start(std::max<std::chrono::milliseconds>(interval_ - std::chrono::milliseconds(since), {}));
    emit changed();
}

void LedgerWatch::stop() {
    if (!watching())
        return;
    address_.clear();
    dueTimer_.stop();
    waitTimer_.stop();
    reopenTimer_.stop();
    worker_.stop(); // an add stays the window's work, stopping, until its thread has ended
    dropPage();
    due_ = false;
    pageText_.clear();
    if (stage_ != Stage::Adding)
        stage_ = Stage::Idle;
    emit changed();
}

QDateTime LedgerWatch::nextFetch() const {
    if (!watching())
        return {};
    if (due_ || stage_ != Stage::Idle)
        return QDateTime::currentDateTime();
    return QDateTime::currentDateTime().addMSecs(dueTimer_.remainingTime());
}

bool LedgerWatch::windowBusy() const {
    return !activity_.idle() || ledger_.busy();
}

void LedgerWatch::startWhenFree() {
    const bool fetchDue = stage_ == Stage::Idle && due_ && pageReady_;
    if (!watching() || worker_.running() || (!fetchDue && stage_ != Stage::PageHere))
        return;
    if (windowBusy()) {
        waitTimer_.start(kLookAgain);
        return;
    }
    waitTimer_.stop();
    stage_ == Stage::PageHere ? addPage() : fetch();
}

void LedgerWatch::fetch() {
    due_ = false;
    stage_ = Stage::Fetching;
    lastFetch_ = QDateTime::currentDateTime();
    dueTimer_.start(interval_);
    fetcher_->fetch();
    emit changed();
}

// A page whose request got no answer may hold on to what hangs: the next fetch goes from a page opened
// anew. An answer of the site (a status such as HTTP 503) leaves the page as it is.
void LedgerWatch::failFetch(const QString& reason) {
    stage_ = Stage::Idle;
    if (!reason.startsWith(u"HTTP "))
        dropPage();
    tell(FetchNotLoaded(recordAddress_, reason.toStdString()));
    if (due_) // the next fetch came due meanwhile: nothing else would start it
        fetchWhenDue();
}

void LedgerWatch::addPage() {
    stage_ = Stage::Adding;
    activity_.begin(Activity::AddingToLedger);
    // The address as it is now: a watch stopped and started again meanwhile records its own.
    result_ = {.file = ledger_.path(), .address = recordAddress_, .outcome = {}, .summary = {}, .hours = {}};
    worker_.start([this, text = std::exchange(pageText_, {})](const std::stop_token& stop) {
        AddResult& result = result_;
        const auto going = [&stop] { return !stop.stop_requested(); };
        bool committed = false;
        try {
            FetchOutcome outcome = RefusedOnFailure(result.address, [&] {
                const std::unique_ptr<LedgerStore> ledger = OpenLedger(result.file, LedgerAccess::ReadWrite, going);
                FetchOutcome added =
                    AddFetchedPage(*ledger, text, result.address, kSignInAgain, NowMs(),
                                   {.steps = [this](AddStep step) { emit stepBegins(step); },
                                    .progress = [&going](std::uint64_t, std::uint64_t) { return going(); },
                                    .stop = [&stop] { return stop.stop_requested(); }});
                if (added.result == FetchResult::Added) {
                    committed = true;
                    result.summary = ReadLedgerSummary(*ledger, result.file);
                    result.hours = ledger->entriesPerHour();
                }
                return added;
            });
            // A failure once stopped (a wait for a lock given up) is the stop's, unless the page went in.
            if (committed || going())
                result.outcome = std::move(outcome);
        } catch (const AddCancelled&) {
            // stopped before its commit: the ledger is as it was
        }
    });
}

void LedgerWatch::onAdded() {
    stage_ = Stage::Idle;
    activity_.end();
    AddResult result = std::move(result_);
    if (result.outcome)
        tell(*result.outcome);
    else // no failure of the page: the failures in a row stay as they were
        keep({LocalTimeText(NowMs()) + ' ' + result.address + std::string(kStoppedNothingAdded)});
    if (result.summary)
        emit added(result.file, *result.summary, result.hours);
    if (result.outcome && !result.outcome->alerts.empty())
        emit alertsFired(result.outcome->alerts);
    startWhenFree(); // also the first fetch of a watch started while this add was stopping
}

void LedgerWatch::tell(const FetchOutcome& outcome) {
    failures_ = outcome.result == FetchResult::Added ? 0 : failures_ + 1;
    keep(FetchLines(outcome, NowMs(), false));
}

void LedgerWatch::keep(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        lines_ << ToQString(line);
    if (lines_.size() > kLinesKept)
        lines_.remove(0, lines_.size() - kLinesKept);
    if (!linesFile_.empty()) {
        // The page the lines are of comes first: a watch of another page starts without them.
        const QString text = QStringList{ToQString(recordAddress_), lines_.join(u'\n')}.join(u'\n') + u'\n';
        WriteFileReplacing(linesFile_, text.toStdString(), S_IRUSR | S_IWUSR); // a line may name a page's secret
    }
    emit changed();
}

void LedgerWatch::keepLinesIn(std::filesystem::path file) {
    linesFile_ = std::move(file);
    QFile kept(ToQString(linesFile_.string()));
    if (kept.size() > kLinesFileMaxBytes || !kept.open(QIODevice::ReadOnly))
        return;
    QStringList lines = QString::fromUtf8(kept.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return;
    recordAddress_ = lines.takeFirst().toStdString();
    lines_ = lines.mid(std::max<qsizetype>(lines.size() - kLinesKept, 0));
}

} // namespace coffer
