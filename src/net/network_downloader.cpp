// SPDX-License-Identifier: MIT
#include "net/network_downloader.h"

#include "net/body_decoder.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace coffer {
namespace {

// What Qt holds for a reply before it is read: the rest waits in the socket, so that a fast site
// cannot fill memory faster than the size cap is checked.
constexpr qint64 kReadBufferBytes = 256 * 1024;

// An HTTP error status: the server answered, and its error page is the text.
bool IsErrorStatus(const QNetworkReply& reply) {
    const QNetworkReply::NetworkError error = reply.error();
    const bool statusError =
        (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError) ||
        error == QNetworkReply::ProtocolInvalidOperationError;
    return statusError && reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400;
}

// Qt's own limit on the redirects that a download follows.
constexpr int kMaxRedirects = 50;

// The status of a whole page: even another 2xx (such as 206 Partial Content) is not one.
constexpr int kWholePageStatus = 200;

QNetworkRequest MakeRequest(const QUrl& address, const DownloadLimits& limits) {
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla"));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // Asked for by name, a compressed body comes as it was sent: Qt leaves it to BodyDecoder.
    request.setRawHeader("Accept-Encoding", "gzip, deflate");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // Each redirect is a request of its own, which asks the cookie jar anew: Qt 6.4's own following
    // would carry the first request's cookies to wherever it leads, and tell a redirect whose request
    // then fails (a TLS handshake) by the redirect's status.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(limits.stallTimeout.count()));
    return request;
}

// Hands each request the cookies its address carries, redirects included, and keeps none a site sets.
class CookieJar : public QNetworkCookieJar {
  public:
    explicit CookieJar(CookiesFor cookies) : cookies_(std::move(cookies)) {}
    QList<QNetworkCookie> cookiesForUrl(const QUrl& url) const override {
        QList<QNetworkCookie> cookies;
        const bool https = url.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0;
        const QString path = url.path(QUrl::FullyEncoded);
        for (const auto& [name, value] :
             cookies_(https, url.host().toStdString(), path.isEmpty() ? std::string("/") : path.toStdString()))
            cookies.append(QNetworkCookie(QByteArray::fromStdString(name), QByteArray::fromStdString(value)));
        return cookies;
    }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }

  private:
    CookiesFor cookies_;
};

} // namespace

// One download in flight. Ends other than by the site are noted before the reply is aborted, so that
// its finished handler knows why it ended.
struct NetworkDownloader::Transfer {
    enum class Ending { BySite, TooLarge, Damaged, Deadline, Aborted };

    Transfer(PageHandler done, const DownloadLimits& limits) : done(std::move(done)), maxBytes(limits.maxBytes) {
        deadlineTimer.setSingleShot(true);
        QObject::connect(&deadlineTimer, &QTimer::timeout, &deadlineTimer, [this] { stop(Ending::Deadline); });
        deadlineTimer.start(limits.deadline);
    }

    QNetworkReply* reply = nullptr; // of the request under way
    PageHandler done;
    const std::int64_t maxBytes;
    QTimer deadlineTimer;               // goes with the transfer, so it can never fire after the transfer ended
    std::optional<BodyDecoder> decoder; // of the reply under way, made with its first bytes
    std::int64_t received = 0;          // bytes of the reply under way, as they came (compressed)
    Ending ending = Ending::BySite;

    void stop(Ending why) {
        if (ending == Ending::BySite)
            ending = why;
        reply->abort();
    }
    BodyDecoder& body() {
        if (!decoder)
            decoder.emplace(reply->rawHeader("Content-Encoding").toStdString(), maxBytes);
        return *decoder;
    }
    // For the request a redirect leads to.
    void forgetBody() {
        decoder.reset();
        received = 0;
    }
    // Takes what the reply holds unless that, or what it inflates to, would pass the cap, in which case
    // the transfer ends, as it does at the first bytes that cannot be inflated.
    void take() {
        if (ending != Ending::BySite)
            return;
        if (received + reply->bytesAvailable() > maxBytes) {
            stop(Ending::TooLarge);
            return;
        }
        const QByteArray bytes = reply->readAll();
        received += bytes.size();
        switch (body().take(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        case BodyDecoder::Step::TooLarge:
            stop(Ending::TooLarge);
            break;
        case BodyDecoder::Step::Damaged:
            stop(Ending::Damaged);
            break;
        case BodyDecoder::Step::Taken:
            break;
        }
    }
    // Where a redirect that this downloader follows itself leads; empty for anything else, and for a
    // redirect from https to http, as Qt's policy has it.
    QUrl redirectTarget() const {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (ending != Ending::BySite || status < 300 || status > 399 || location.isEmpty())
            return {};
        const QUrl next = reply->url().resolved(location);
        const bool https = next.scheme() == QStringLiteral("https");
        return https || (next.scheme() == QStringLiteral("http") && reply->url().scheme() != QStringLiteral("https"))
                   ? next
                   : QUrl();
    }
    // Whether the body stopped before its end: other than its length said, or inside a compressed
    // stream.
    bool cutShort() {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        return (length.isValid() && length.toLongLong() != received) || !body().ended();
    }
    PageResult result(const DownloadLimits& limits) {
        const QNetworkReply::NetworkError error = reply->error();
        // Qt ends a transfer that makes no progress for the stall time-out by cancelling it.
        const bool stalled = ending == Ending::BySite &&
                             (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError);
        PageResult result{.page = {}, .timedOut = stalled || ending == Ending::Deadline, .failure = {}};
        if (error == QNetworkReply::NoError || IsErrorStatus(*reply)) {
            take();
            if (ending == Ending::BySite && !cutShort())
                result.page = QString::fromUtf8(body().body()).toStdString();
        }
        result.failure = failure(stalled, limits);
        return result;
    }
    // Why no whole page of status 200 came, in words for the user; empty when one did.
    std::string failure(bool stalled, const DownloadLimits& limits) {
        using std::chrono::duration_cast;
        using std::chrono::seconds;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (ending == Ending::TooLarge)
            return "the page is larger than " + (limits.maxBytes >= 1024 * 1024
                                                     ? std::to_string(limits.maxBytes >> 20) + " MiB"
                                                     : std::to_string(limits.maxBytes >> 10) + " KiB");
        if (ending == Ending::Deadline)
            return "the page was not complete within " +
                   std::to_string(duration_cast<seconds>(limits.deadline).count()) + " seconds";
        if (ending == Ending::Aborted)
            return "the download was stopped";
        if (stalled)
            return "nothing came for " + std::to_string(duration_cast<seconds>(limits.stallTimeout).count()) +
                   " seconds";
        if (status != 0 && status != kWholePageStatus)
            return "HTTP " + std::to_string(status);
        if (!body().damage().empty())
            return body().damage();
        if (status == kWholePageStatus && cutShort())
            return "the page was cut short";
        if (reply->error() != QNetworkReply::NoError)
            return reply->errorString().toStdString();
        return {};
    }
};

struct NetworkDownloader::State {
    DownloadLimits limits;
    QNetworkAccessManager manager;
    std::unordered_map<QNetworkReply*, std::unique_ptr<Transfer>> running;
    std::vector<std::pair<PageHandler, PageResult>> finished; // waiting for waitForAny to hand them on
    std::function<void()> notify;
};

NetworkDownloader::NetworkDownloader(DownloadLimits limits) : state_(std::make_unique<State>()) {
    state_->limits = limits;
    state_->manager.setProxy(QNetworkProxy::NoProxy);
}

NetworkDownloader::~NetworkDownloader() {
    // Replies still running belong to the manager, which aborts and deletes them with itself; their
    // finished handlers must not reach the state that is going away with it.
    for (const auto& [reply, transfer] : state_->running)
        reply->disconnect();
}

void NetworkDownloader::start(const std::string& address, PageHandler done) {
    if (QCoreApplication::instance() == nullptr) {
        // Without an application object nothing could wait for the network.
        state_->finished.emplace_back(std::move(done), PageResult{});
        return;
    }
    send(QUrl(QString::fromStdString(address)), std::make_unique<Transfer>(std::move(done), state_->limits),
         kMaxRedirects);
}

void NetworkDownloader::send(const QUrl& address, std::unique_ptr<Transfer> transfer, int redirectsLeft) {
    QNetworkReply* reply = state_->manager.get(MakeRequest(address, state_->limits));
    reply->setReadBufferSize(kReadBufferBytes);
    transfer->reply = reply;
    Transfer* running = state_->running.emplace(reply, std::move(transfer)).first->second.get();
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [running] {
        if (running->reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > running->maxBytes)
            running->stop(Transfer::Ending::TooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [running] { running->take(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, redirectsLeft] {
        const auto entry = state_->running.find(reply);
        std::unique_ptr<Transfer> transfer = std::move(entry->second);
        state_->running.erase(entry);
        const QUrl next = redirectsLeft > 0 ? transfer->redirectTarget() : QUrl();
        std::optional<PageResult> result;
        if (next.isEmpty())
            result = transfer->result(state_->limits);
        reply->disconnect(); // nothing may reach the transfer once it is gone
        reply->deleteLater();
        if (!next.isEmpty()) {
            transfer->forgetBody();
            send(next, std::move(transfer), redirectsLeft - 1);
            return;
        }
        state_->finished.emplace_back(std::move(transfer->done), std::move(*result));
        if (state_->notify)
            state_->notify();
    });
}

void NetworkDownloader::waitForAny() {
    while (state_->finished.empty() && !state_->running.empty())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    // Finished replies were handed to deleteLater(), which only an event loop carries out: without one
    // (coffer-cli's lookups and fetches), every reply would be kept to the end.
    if (QThread::currentThread()->loopLevel() == 0)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::vector<std::pair<PageHandler, PageResult>> finished = std::exchange(state_->finished, {});
    for (auto& [done, result] : finished)
        done(std::move(result));
}

void NetworkDownloader::setFinishedNotifier(std::function<void()> notify) {
    state_->notify = std::move(notify);
}

void NetworkDownloader::setCookies(CookiesFor cookies) {
    state_->manager.setCookieJar(new CookieJar(std::move(cookies))); // the manager owns it
}

int NetworkDownloader::inFlight() const {
    return static_cast<int>(state_->running.size() + state_->finished.size());
}

void NetworkDownloader::abortAll() {
    // Replies are aborted on their own thread; the queued call also wakes a waitForAny there.
    QMetaObject::invokeMethod(
        &state_->manager,
        [state = state_.get()] {
            std::vector<Transfer*> transfers; // aborting one takes it out of `running`
            for (const auto& [reply, transfer] : state->running)
                transfers.push_back(transfer.get());
            for (Transfer* transfer : transfers)
                transfer->stop(Transfer::Ending::Aborted);
        },
        Qt::QueuedConnection);
}

} // namespace coffer
