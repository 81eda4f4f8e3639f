#include "support/lorehold_site.h"

#include "analysis/item_lookup.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <stdexcept>

namespace coffer::testing {

struct LoreholdSite::Connection {
    QTcpSocket* socket;
    QByteArray buffer;
    int waiting = 0; // requests read but not answered
};

LoreholdSite::LoreholdSite() : listener_(std::make_unique<QTcpServer>()) {
    if (!listener_->listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the test site cannot listen on 127.0.0.1");
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
    return "http://127.0.0.1:" + std::to_string(listener_->serverPort());
}

void LoreholdSite::read(const std::shared_ptr<Connection>& connection) {
    QByteArray& buffer = connection->buffer;
    buffer += connection->socket->readAll();
    for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0; buffer.remove(0, end + 4)) {
        const std::string target = buffer.left(end).split(' ').value(1).toStdString(); // GET TARGET HTTP/1.1
        ++requests_;
        ++connection->waiting;
        maxInFlight_ = std::max(maxInFlight_, ++inFlight_);
        QTimer::singleShot(delay_, Qt::PreciseTimer, connection->socket,
                           [this, connection, target] { answer(*connection, target); });
    }
}

void LoreholdSite::answer(Connection& connection, const std::string& target) {
    const auto page = pages_.find(target);
    const Response response = page != pages_.end() ? page->second : Page("<html>Not found</html>", 404);
    if (response.hang)
        return;
    --connection.waiting;
    --inFlight_;
    std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " Status\r\n";
    if (!response.location.empty())
        reply += "Location: " + response.location + "\r\n";
    reply += response.sendLength ? "Content-Length: " + std::to_string(response.body.size()) + "\r\n\r\n"
                                 : std::string("Connection: close\r\n\r\n");
    reply += response.body;
    connection.socket->write(reply.data(), static_cast<qint64>(reply.size()));
    if (!response.sendLength)
        connection.socket->disconnectFromHost();
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

std::string SearchTarget(std::string_view name) {
    return ItemSearchAddress("", name);
}
std::string ItemTarget(std::string_view itemNumber) {
    return ItemPageAddress("", itemNumber);
}

} // namespace coffer::testing
