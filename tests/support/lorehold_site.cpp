// SPDX-License-Identifier: MIT
#include "support/lorehold_site.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <sys/socket.h>
#define ZLIB_CONST
#include <zlib.h>

namespace coffer::testing {

struct LoreholdSite::Connection {
    QTcpSocket* socket;
    QByteArray buffer;
    int waiting = 0; // requests read but not answered
};

LoreholdSite::LoreholdSite(const std::string& host) : listener_(std::make_unique<QTcpServer>()), host_(host) {
    if (!listener_->listen(QHostAddress(QString::fromStdString(host)), 0))
        throw std::runtime_error("the test site cannot listen on " + host);
    QObject::connect(listener_.get(), &QTcpServer::newConnection, listener_.get(), [this] {
        while (QTcpSocket* socket = listener_->nextPendingConnection()) {
            auto connection = std::make_shared<Connection>(socket);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, connection] { read(connection); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, connection] {
                inFlight_ -= std::exchange(connection->waiting, 0);
                connection->socket->deleteLater();
            });
        }
    });
}

LoreholdSite::~LoreholdSite() {
    listener_->close();
    // Connections are the listener's children; their handlers must not outlive the site's state.
    for (QTcpSocket* socket : listener_->findChildren<QTcpSocket*>()) {
        socket->disconnect();
        socket->abort();
    }
}

std::string LoreholdSite::base() const {
    return "http://" + host_ + ":" + std::to_string(listener_->serverPort());
}

void LoreholdSite::read(const std::shared_ptr<Connection>& connection) {
    QByteArray& buffer = connection->buffer;
    buffer += connection->socket->readAll();
    for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QByteArray head = buffer.left(end);
        const qsizetype lengthAt = head.toLower().indexOf("\r\ncontent-length:");
        const qsizetype length = lengthAt < 0 ? 0 : head.mid(lengthAt + 17).split('\r').value(0).trimmed().toLongLong();
        if (buffer.size() < end + 4 + length)
            break; // the rest of the body is still on its way
        if (head.startsWith("POST "))
            posts_.emplace_back(head.toStdString(), buffer.mid(end + 4, length).toStdString());
        buffer.remove(0, end + 4 + length);
        const std::string target = head.split(' ').value(1).toStdString(); // GET TARGET HTTP/1.1
        ++requests_;
        ++connection->waiting;
        maxInFlight_ = std::max(maxInFlight_, ++inFlight_);
        QTimer::singleShot(delay_, Qt::PreciseTimer, connection->socket,
                           [this, connection, target] { answer(*connection, target); });
    }
}

namespace {

constexpr std::chrono::milliseconds kTrickleInterval{100};
constexpr qint64 kFillerBlock = 256 * 1024;

// Writes the byte every trickle interval for as long as the connection lasts.
void Trickle(QTcpSocket* socket, char byte) {
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, byte] { socket->write(&byte, 1); });
    timer->start(kTrickleInterval);
}

// Keeps a block of filler waiting in the socket for as long as the connection lasts.
void Flood(QTcpSocket* socket, bool chunked) {
    const QByteArray filler(kFillerBlock, ' ');
    const QByteArray block = chunked ? QByteArray::number(kFillerBlock, 16) + "\r\n" + filler + "\r\n" : filler;
    auto refill = [socket, block] {
        if (socket->bytesToWrite() < block.size())
            socket->write(block);
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

// Ends the connection with a TCP reset rather than an orderly close.
void Reset(QTcpSocket* socket) {
    socket->flush();
    const linger hard{1, 0};
    setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

} // namespace

void LoreholdSite::answer(Connection& connection, const std::string& target) {
    const auto page = pages_.find(target);
    const Response response = page != pages_.end() ? page->second : Page("<html>Not found</html>", 404);
    if (response.fault == Fault::NeverAnswers)
        return;
    --connection.waiting;
    --inFlight_;
    QTcpSocket* socket = connection.socket;
    std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " Status\r\n";
    if (response.fault == Fault::TrickleHeaders) {
        socket->write(reply.append("X-Slow: ").data());
        Trickle(socket, 'a');
        return;
    }
    if (!response.location.empty())
        reply += "Location: " + response.location + "\r\n";
    if (!response.encoding.empty())
        reply += "Content-Encoding: " + response.encoding + "\r\n";
    switch (response.fault) {
    case Fault::TrickleBody:
    case Fault::ResetMidBody:
        reply += "Content-Length: " + std::to_string(response.body.size() + 1000) + "\r\n\r\n" + response.body;
        break;
    case Fault::EndlessChunks:
        reply += "Transfer-Encoding: chunked\r\n\r\n";
        if (!response.body.empty())
            reply += QByteArray::number(static_cast<qsizetype>(response.body.size()), 16).toStdString() + "\r\n" +
                     response.body + "\r\n";
        break;
    default:
        reply += response.sendLength && response.fault == Fault::None
                     ? "Content-Length: " + std::to_string(response.body.size()) + "\r\n\r\n"
                     : std::string("Connection: close\r\n\r\n");
        reply += response.body;
    }
    socket->write(reply.data(), static_cast<qint64>(reply.size()));
    switch (response.fault) {
    case Fault::TrickleBody:
        Trickle(socket, ' ');
        break;
    case Fault::EndlessBody:
    case Fault::EndlessChunks:
        Flood(socket, response.fault == Fault::EndlessChunks);
        break;
    case Fault::ResetMidBody:
        Reset(socket);
        break;
    default:
        if (!response.sendLength)
            socket->disconnectFromHost();
    }
}

Response Page(std::string body, int status) {
    return {.status = status, .body = std::move(body)};
}

static std::string Money(int gold, int silver) {
    return "<span class=\"moneygold\">" + std::to_string(gold) + "</span><span class=\"moneysilver\">" +
           std::to_string(silver) + "</span><span class=\"moneycopper\">0</span>";
}

std::string SearchPageLinking(std::string_view name, std::string_view itemNumber) {
    return "<html><body><table><tr><td><a href=\"/?item=" + std::string(itemNumber) + "\">" + std::string(name) +
           "</a></td><td>Armor</td></tr></table></body></html>";
}

std::string SearchPageSaving(std::string_view itemNumber) {
    return "<html><body><script>su_addToSaved('" + std::string(itemNumber) + "');</script></body></html>";
}

std::string ItemPageWithPrices(int buyoutGold, int buyoutSilver, int sellGold, int sellSilver) {
    return "<html><body><div>Sells for <span class=\"price\">" + Money(sellGold, sellSilver) +
           "</span></div><div><span>Buyout price</span>" + Money(buyoutGold, buyoutSilver) + "</div></body></html>";
}

std::string Compressed(std::string_view text, Packing packing) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, packing == Packing::Zlib ? 15 : 15 + 16, 9,
                 Z_DEFAULT_STRATEGY); // 16: gzip
    std::string packed(deflateBound(&stream, static_cast<uLong>(text.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<const unsigned char*>(text.data());
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<unsigned char*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, packing == Packing::GzipWithoutEnd ? Z_SYNC_FLUSH : Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

} // namespace coffer::testing
