#include "support/lorehold_site.h"

#include "analysis/item_lookup.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <stdexcept>
#include <sys/socket.h>

namespace coffer::testing {
namespace {

const char* ReasonOf(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string Money(int gold, int silver) {
    return "<span class=\"moneygold\">" + std::to_string(gold) + "</span><span class=\"moneysilver\">" +
           std::to_string(silver) + "</span><span class=\"moneycopper\">0</span>";
}

} // namespace

struct LoreholdSite::Server {
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray buffer;
        int waiting = 0; // requests read but not answered
    };

    QTcpServer listener;
    std::map<std::string, Response> pages;
    std::chrono::milliseconds delay{0};
    std::map<std::string, int> requests;
    int requestTotal = 0;
    int inFlight = 0;
    int maxInFlight = 0;
    std::map<std::string, std::string> lastHeaders;

    void accept() {
        while (QTcpSocket* socket = listener.nextPendingConnection()) {
            auto connection = std::make_shared<Connection>();
            connection->socket = socket;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, connection]() { read(connection); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, connection]() {
                inFlight -= std::exchange(connection->waiting, 0);
                connection->socket->deleteLater();
            });
        }
    }

    void read(const std::shared_ptr<Connection>& connection) {
        connection->buffer += connection->socket->readAll();
        for (qsizetype end; (end = connection->buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QList<QByteArray> lines = connection->buffer.left(end).split('\n');
            connection->buffer.remove(0, end + 4);
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            const std::string target = requestLine.value(1).toStdString();
            lastHeaders.clear();
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    lastHeaders[lines[i].left(colon).trimmed().toLower().toStdString()] =
                        lines[i].mid(colon + 1).trimmed().toStdString();
            }
            ++requests[target];
            ++requestTotal;
            ++connection->waiting;
            maxInFlight = std::max(maxInFlight, ++inFlight);
            QTimer::singleShot(delay, Qt::PreciseTimer, connection->socket,
                               [this, connection, target]() { answer(*connection, target); });
        }
    }

    void answer(Connection& connection, const std::string& target) {
        const auto page = pages.find(target);
        const Response response = page != pages.end() ? page->second : Page("<html><body>Not found</body></html>", 404);
        if (response.fault == Fault::Hang)
            return;
        --connection.waiting;
        --inFlight;
        QTcpSocket* socket = connection.socket;
        if (response.fault == Fault::Reset) {
            // A zero linger time makes the close send a reset rather than a normal end.
            const linger reset{1, 0};
            setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            socket->abort();
            return;
        }
        std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + ReasonOf(response.status) +
                           "\r\nContent-Type: text/html; charset=utf-8\r\n";
        if (!response.location.empty())
            head += "Location: " + response.location + "\r\n";
        head += response.sendLength ? "Content-Length: " + std::to_string(response.body.size()) + "\r\n"
                                    : std::string("Connection: close\r\n");
        head += "\r\n";
        socket->write(head.data(), static_cast<qint64>(head.size()));
        socket->write(response.body.data(), static_cast<qint64>(response.body.size()));
        if (!response.sendLength)
            socket->disconnectFromHost();
    }
};

LoreholdSite::LoreholdSite() : server_(std::make_unique<Server>()) {
    if (!server_->listener.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the test site cannot listen on 127.0.0.1");
    QObject::connect(&server_->listener, &QTcpServer::newConnection, &server_->listener,
                     [server = server_.get()]() { server->accept(); });
}

LoreholdSite::~LoreholdSite() {
    server_->listener.close();
    // Connections are the listener's children; their handlers must not outlive the server's state.
    for (QTcpSocket* socket : server_->listener.findChildren<QTcpSocket*>()) {
        socket->disconnect();
        socket->abort();
    }
}

std::string LoreholdSite::base() const {
    return "http://127.0.0.1:" + std::to_string(server_->listener.serverPort());
}

void LoreholdSite::setPage(const std::string& target, Response response) {
    server_->pages[target] = std::move(response);
}

void LoreholdSite::setDelay(std::chrono::milliseconds delay) {
    server_->delay = delay;
}

void LoreholdSite::forgetRequests() {
    server_->requests.clear();
    server_->requestTotal = 0;
    server_->maxInFlight = server_->inFlight;
}

int LoreholdSite::requestsFor(const std::string& target) const {
    const auto found = server_->requests.find(target);
    return found == server_->requests.end() ? 0 : found->second;
}

int LoreholdSite::requestCount() const {
    return server_->requestTotal;
}

int LoreholdSite::maxInFlight() const {
    return server_->maxInFlight;
}

const std::map<std::string, std::string>& LoreholdSite::lastRequestHeaders() const {
    return server_->lastHeaders;
}

Response Page(std::string body, int status) {
    Response response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

Response PageUntilClose(std::string body) {
    Response response = Page(std::move(body));
    response.sendLength = false;
    return response;
}

Response Redirect(std::string location) {
    Response response = Page("moved", 302);
    response.location = std::move(location);
    return response;
}

Response Failing(Fault fault) {
    Response response = Page("never sent");
    response.fault = fault;
    return response;
}

std::string SearchPageLinking(std::string_view name, std::string_view itemNumber) {
    return "<html><body><h1>Search results</h1><table><tr><td><a href=\"/?item=" + std::string(itemNumber) + "\">" +
           std::string(name) + "</a></td><td>Armor</td></tr></table></body></html>";
}

std::string SearchPageSaving(std::string_view itemNumber) {
    return "<html><body><script>su_addToSaved('" + std::string(itemNumber) +
           "');</script><p>One item found.</p></body></html>";
}

std::string ItemPageWithPrices(int buyoutGold, int buyoutSilver, int sellGold, int sellSilver) {
    return "<html><body><div>Sells for <span class=\"price\">" + Money(sellGold, sellSilver) +
           "</span></div><div><span>Buyout price</span>" + Money(buyoutGold, buyoutSilver) + "</div></body></html>";
}

std::string ItemPageSelling(int gold, int silver) {
    return "<html><body><div>Sells for <span class=\"price\">" + Money(gold, silver) + "</span></div></body></html>";
}

std::string SearchTarget(std::string_view name) {
    return ItemSearchAddress("", name);
}

std::string ItemTarget(std::string_view itemNumber) {
    return ItemPageAddress("", itemNumber);
}

} // namespace coffer::testing
