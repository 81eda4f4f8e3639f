// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_watch.h"

#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "shell/fetch_address.h"
#include "ui/base/engine_text.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <string_view>

namespace coffer {
namespace {

constexpr std::chrono::milliseconds kLookAgain{200};
// What a page that is no bank log asks of the officer: the watch fetches with the browser's sign-in.
constexpr std::string_view kSignInAgain = "sign in again in the Browser panel";
// The request ends itself within 60 s; past this the page's renderer is taken as gone.
constexpr std::chrono::milliseconds kGiveUp{75'000};

// Starts an asynchronous request for the page from inside the page itself, so that the profile's cookies
// for the site go with it. The request gives up after 60 s, after 15 s without
// progress, or past 16 MiB; its end is left in window.cofferWatch for the window to pick up. Only a
// 200 brings the whole page (a 206 brings a part); the browser has inflated a compressed page
// already, so whether the page is whole is left to the check of its elements.
constexpr const char* kStartRequest = R"(
(function(address) {
    var state = window.cofferWatch = {done: false, failure: '', text: ''};
    var request = new XMLHttpRequest();
    var stall = 0;
    function end(failure, abort) {
        if (state.done)
            return;
        clearTimeout(stall);
        if (abort)
            request.abort();
        state.failure = failure;
        state.done = true;
    }
    function progressed(event) {
        clearTimeout(stall);
        stall = setTimeout(function() { end('nothing came for 15 seconds', true); }, 15000);
        if (event && (event.loaded > 16777216 || event.total > 16777216))
            end('the page is larger than 16 MiB', true);
    }
    try {
        request.open('GET', address, true);
        request.timeout = 60000;
        request.onprogress = progressed;
        request.onload = function() {
            if (request.status !== 200)
                return end('HTTP ' + request.status);
            state.text = request.responseText;
            end('');
        };
        request.onerror = function() { end('the connection failed'); };
        request.ontimeout = function() { end('the page was not complete within 60 seconds'); };
        progressed(null);
        request.send();
    } catch (e) {
        end(String(e));
    }
})(%1))";

constexpr const char* kTakeResult =
    "window.cofferWatch && window.cofferWatch.done ? [window.cofferWatch.failure, window.cofferWatch.text] : null";

} // namespace

LedgerWatch::LedgerWatch(QWebEngineProfile* profile, ActivityState& activity, Ledger ledger, QObject* parent)
    : QObject(parent), profile_(profile), activity_(activity), ledger_(std::move(ledger)) {
    dueTimer_.setSingleShot(true);
    waitTimer_.setSingleShot(true);
    connect(&dueTimer_, &QTimer::timeout, this, [this] {
        due_ = true;
        if (watching() && !pageReady_ && !reopenTimer_.isActive())
            openPage();
        startWhenFree();
    });
    reopenTimer_.setSingleShot(true);
    connect(&reopenTimer_, &QTimer::timeout, this, &LedgerWatch::openPage);
    connect(&waitTimer_, &QTimer::timeout, this, [this] { stage_ == Stage::Fetching ? pollFetch() : startWhenFree(); });
    connect(&worker_, &WorkerThread::finished, this, &LedgerWatch::onAdded);
}

LedgerWatch::~LedgerWatch() {
    blockSignals(true); // the window that shows the watch is going
    stop();
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

// The request goes from the watched page itself, opened in a page of its own: from there the site's
// cookies go with it as with any request of the site's own pages.
void LedgerWatch::openPage() {
    dropPage();
    page_ = new QWebEnginePage(profile_, this);
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        pageReady_ = ok;
        if (!ok) { // opened again at the next fetch
            page_->triggerAction(QWebEnginePage::Stop);
            tell(FetchNotLoaded(recordAddress_, "the page could not be opened"));
            dueTimer_.start(interval_);
        }
        startWhenFree();
    });
    page_->load(QUrl(address_));
}

void LedgerWatch::dropPage() {
    delete page_;
    page_ = nullptr;
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
    worker_.stop(); // its end is dropped: nothing is watched any more
    dropPage();
    due_ = false;
    pageText_.clear();
    if (stage_ == Stage::Adding)
        activity_.end();
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
    stage_ == Stage::PageHere ? addPage() : fetch();
}

void LedgerWatch::fetch() {
    due_ = false;
    stage_ = Stage::Fetching;
    lastFetch_ = QDateTime::currentDateTime();
    dueTimer_.start(interval_);
    fetchClock_.start();
    const QString quoted = QStringLiteral("'%1'").arg(
        QString(address_).replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'")));
    page_->runJavaScript(QString::fromLatin1(kStartRequest).arg(quoted));
    waitTimer_.start(kLookAgain);
    emit changed();
}

void LedgerWatch::pollFetch() {
    if (fetchClock_.elapsed() > kGiveUp.count()) {
        failFetch("the page was not complete within 60 seconds");
        return;
    }
    const QString watched = address_;
    page_->runJavaScript(QString::fromLatin1(kTakeResult), [this, watched](const QVariant& result) {
        if (stage_ != Stage::Fetching || watched != address_)
            return;
        const QVariantList answer = result.toList();
        if (answer.size() != 2) {
            waitTimer_.start(kLookAgain);
            return;
        }
        const QString failure = answer[0].toString();
        if (!failure.isEmpty()) {
            failFetch(failure.toStdString());
            return;
        }
        pageText_ = answer[1].toString().toStdString();
        page_->runJavaScript(QStringLiteral("window.cofferWatch = null"));
        stage_ = Stage::PageHere;
        startWhenFree();
    });
}

// A page whose request got no answer may hold on to what hangs: the next fetch goes from a page opened
// anew. An answer of the site (a status such as HTTP 503) leaves the page as it is.
void LedgerWatch::failFetch(const std::string& reason) {
    stage_ = Stage::Idle;
    if (!reason.starts_with("HTTP "))
        dropPage();
    tell(FetchNotLoaded(recordAddress_, reason));
}

void LedgerWatch::addPage() {
    stage_ = Stage::Adding;
    activity_.begin(Activity::AddingToLedger);
    result_ = {.file = ledger_.path(), .outcome = {}, .summary = {}, .hours = {}};
    // The address as it is now: a watch stopped and started again meanwhile records its own.
    worker_.start([this, text = std::exchange(pageText_, {}), address = recordAddress_](const std::stop_token& stop) {
        AddResult& result = result_;
        const auto going = [&stop] { return !stop.stop_requested(); };
        try {
            result.outcome = RefusedOnFailure(address, [&] {
                const std::unique_ptr<LedgerStore> ledger = OpenLedger(result.file, LedgerAccess::ReadWrite, going);
                FetchOutcome outcome = AddFetchedPage(
                    *ledger, text, address, kSignInAgain, NowMs(),
                    {.steps = {}, .progress = [&going](std::uint64_t, std::uint64_t) { return going(); }, .stop = {}});
                if (outcome.result == FetchResult::Added) {
                    result.summary = ReadLedgerSummary(*ledger, result.file);
                    result.hours = ledger->entriesPerHour();
                }
                return outcome;
            });
        } catch (const AddCancelled&) {
            // stopped: the watch drops what the add gives
        }
    });
}

void LedgerWatch::onAdded() {
    if (stage_ != Stage::Adding) { // stopped meanwhile: a new watch's add may be waiting for this one's end
        startWhenFree();
        return;
    }
    stage_ = Stage::Idle;
    activity_.end();
    // A stopped add never gets here: stop() left the stage.
    AddResult result = std::move(result_);
    tell(result.outcome);
    if (result.summary)
        emit added(result.file, *result.summary, result.hours);
    startWhenFree();
}

void LedgerWatch::tell(const FetchOutcome& outcome) {
    failures_ = outcome.result == FetchResult::Added ? 0 : failures_ + 1;
    for (const std::string& line : FetchLines(outcome, NowMs(), false))
        lines_ << ToQString(line);
    if (lines_.size() > kLinesKept)
        lines_.remove(0, lines_.size() - kLinesKept);
    emit changed();
}

} // namespace coffer
