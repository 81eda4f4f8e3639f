// SPDX-License-Identifier: MIT
#include "net/webhook_poster.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace coffer {
namespace {

// The words of a reply that failed below HTTP. Qt's own texts may quote the address, which holds the
// secret: those that do are replaced by the error's number.
std::string NetworkFailure(const QNetworkReply& reply) {
    const QString text = reply.errorString();
    const QUrl address = reply.url();
    const auto quotes = [&text](const QString& part) { return !part.isEmpty() && text.contains(part); };
    const bool quotesAddress = (address.path().size() > 1 && quotes(address.path())) || quotes(address.query());
    return quotesAddress ? "network error " + std::to_string(reply.error()) : text.toStdString();
}

// Whether a redirect's target is on another scheme, host or port than the address posted to.
bool LeavesTheSite(const QNetworkReply& reply) {
    const QUrl from = reply.url();
    const QUrl to = from.resolved(reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    return to.scheme() != from.scheme() || to.host() != from.host() || to.port() != from.port();
}

std::string Seconds(std::chrono::milliseconds span) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(span).count()) + " seconds";
}

std::string Failure(const QNetworkReply& reply, bool pastDeadline, const DownloadLimits& limits) {
    const QNetworkReply::NetworkError error = reply.error();
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (pastDeadline)
        return "no answer within " + Seconds(limits.deadline);
    if (status >= 300 && status <= 399 && LeavesTheSite(reply))
        return "redirected to another site";
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        return "nothing came for " + Seconds(limits.stallTimeout); // Qt's end of a stalled transfer
    if (status != 0 && (status < 200 || status > 299))
        return "HTTP " + std::to_string(status);
    return error == QNetworkReply::NoError ? std::string() : NetworkFailure(reply);
}

} // namespace

struct WebhookPoster::State {
    DownloadLimits limits;
    QNetworkAccessManager manager;
};

WebhookPoster::WebhookPoster(DownloadLimits limits) : state_(std::make_unique<State>()) {
    state_->limits = limits;
    state_->manager.setProxy(QNetworkProxy::NoProxy);
}

WebhookPoster::~WebhookPoster() = default; // the manager aborts and deletes the replies still running

void WebhookPoster::start(const std::string& address, const std::string& json, PostHandler done) {
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(state_->limits.stallTimeout.count()));
    QNetworkReply* reply = state_->manager.post(request, QByteArray::fromStdString(json));
    // The answer's body is read away as it comes, so that a service cannot fill memory with it.
    reply->setReadBufferSize(64 * 1024);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->skip(reply->bytesAvailable()); });
    auto* deadline = new QTimer(reply); // goes with the reply
    auto passed = std::make_shared<bool>(false);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply, passed] {
        *passed = true;
        reply->abort();
    });
    deadline->start(state_->limits.deadline);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, passed, done = std::move(done)]() mutable {
        const PostHandler handler = std::move(done); // the connection, which holds it, goes first
        const std::string failure = Failure(*reply, *passed, state_->limits);
        reply->disconnect();
        reply->deleteLater();
        handler(failure);
    });
}

std::string WebhookPoster::post(const std::string& address, const std::string& json) {
    std::optional<std::string> failure;
    start(address, json, [&failure](std::string result) { failure = std::move(result); });
    while (!failure)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    // The reply was handed to deleteLater(), which only an event loop carries out.
    if (QThread::currentThread()->loopLevel() == 0)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return *failure;
}

} // namespace coffer
