#include "analysis/download/network_downloader.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <utility>
#include <vector>

namespace coffer {
namespace {

// The errors that report an HTTP error status: the server answered, and its error page is the text.
bool IsErrorStatus(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError;
}

QNetworkRequest MakeRequest(const std::string& address, const DownloadLimits& limits) {
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla"));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(limits.stallTimeout.count()));
    return request;
}

} // namespace

struct NetworkDownloader::State {
    DownloadLimits limits;
    QNetworkAccessManager manager;
    int running = 0;
    std::vector<std::pair<PageHandler, std::string>> finished; // waiting for waitForAny to hand them on
    std::function<void()> notify;
};

NetworkDownloader::NetworkDownloader(DownloadLimits limits) : state_(std::make_unique<State>()) {
    state_->limits = limits;
    state_->manager.setProxy(QNetworkProxy::NoProxy);
}

NetworkDownloader::~NetworkDownloader() {
    // Replies still running belong to the manager, which aborts and deletes them with itself; their
    // finished handlers must not reach the state that is going away with it.
    for (QNetworkReply* reply : state_->manager.findChildren<QNetworkReply*>())
        reply->disconnect();
}

void NetworkDownloader::start(const std::string& address, PageHandler done) {
    if (QCoreApplication::instance() == nullptr) {
        // Without an application object nothing could wait for the network.
        state_->finished.emplace_back(std::move(done), std::string());
        return;
    }
    QNetworkReply* reply = state_->manager.get(MakeRequest(address, state_->limits));
    ++state_->running;
    const std::int64_t maxBytes = state_->limits.maxBytes;
    auto body = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    auto refuse = [reply, tooLarge]() {
        *tooLarge = true;
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes, refuse]() {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, maxBytes, refuse, tooLarge]() {
        if (*tooLarge)
            return;
        body->append(reply->readAll());
        if (body->size() > maxBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, body, tooLarge, done = std::move(done)]() mutable {
                         std::string page;
                         const QNetworkReply::NetworkError error = reply->error();
                         if (!*tooLarge && (error == QNetworkReply::NoError || IsErrorStatus(error))) {
                             body->append(reply->readAll());
                             if (body->size() <= state_->limits.maxBytes)
                                 page = QString::fromUtf8(*body).toStdString();
                         }
                         --state_->running;
                         state_->finished.emplace_back(std::move(done), std::move(page));
                         reply->deleteLater();
                         if (state_->notify)
                             state_->notify();
                     });
}

void NetworkDownloader::waitForAny() {
    while (state_->finished.empty() && state_->running > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    std::vector<std::pair<PageHandler, std::string>> finished = std::exchange(state_->finished, {});
    for (auto& [done, page] : finished)
        done(std::move(page));
}

void NetworkDownloader::setFinishedNotifier(std::function<void()> notify) {
    state_->notify = std::move(notify);
}

int NetworkDownloader::inFlight() const {
    return state_->running + static_cast<int>(state_->finished.size());
}

std::string DownloadText(const std::string& address, const DownloadLimits& limits) {
    NetworkDownloader downloader(limits);
    return downloader.download(address);
}

} // namespace coffer
