// SPDX-License-Identifier: MIT
#include "ui/ledger/web_page_fetcher.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <chrono>

namespace coffer {
namespace {

constexpr std::chrono::milliseconds kLookAgain{200};
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

WebPageFetcher::WebPageFetcher(QWebEngineProfile* profile, QObject* parent) : PageFetcher(parent), profile_(profile) {
    pollTimer_.setSingleShot(true);
    connect(&pollTimer_, &QTimer::timeout, this, &WebPageFetcher::poll);
}

WebPageFetcher::~WebPageFetcher() {
    drop(); // before the members its page's answers look at go
}

// The request goes from the watched page itself, opened in a page of its own: from there the site's
// cookies go with it as with any request of the site's own pages.
void WebPageFetcher::open(const QString& address) {
    drop();
    address_ = address;
    page_ = new QWebEnginePage(profile_, this);
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok) {
            emit opened();
            return;
        }
        page_->triggerAction(QWebEnginePage::Stop);
        emit notOpened(QStringLiteral("the page could not be opened"));
    });
    page_->load(QUrl(address_));
}

void WebPageFetcher::drop() {
    fetching_ = false;
    pollTimer_.stop();
    delete page_;
    page_ = nullptr;
}

void WebPageFetcher::fetch() {
    fetching_ = true;
    fetchClock_.start();
    const QString quoted = QStringLiteral("'%1'").arg(
        QString(address_).replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'")));
    page_->runJavaScript(QString::fromLatin1(kStartRequest).arg(quoted));
    pollTimer_.start(kLookAgain);
}

void WebPageFetcher::poll() {
    if (fetchClock_.elapsed() > kGiveUp.count()) {
        fetching_ = false;
        emit failed(QStringLiteral("the page was not complete within 60 seconds"));
        return;
    }
    page_->runJavaScript(QString::fromLatin1(kTakeResult), [this](const QVariant& result) {
        if (!fetching_) // dropped meanwhile
            return;
        const QVariantList answer = result.toList();
        if (answer.size() != 2) {
            pollTimer_.start(kLookAgain);
            return;
        }
        fetching_ = false;
        const QString failure = answer[0].toString();
        if (!failure.isEmpty()) {
            emit failed(failure);
            return;
        }
        page_->runJavaScript(QStringLiteral("window.cofferWatch = null"));
        emit arrived(answer[1].toString());
    });
}

} // namespace coffer
