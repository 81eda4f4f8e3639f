// SPDX-License-Identifier: MIT
// The window's watch of the bank log page: a page of 10,000 new entries fetched into a ledger of a
// million, timed from the page's arrival (the watch's add begins, which disables the ledger's buttons)
// to the Guild Ledger panel refreshed (one more paste listed), with the longest time the window kept
// its events waiting meanwhile. The page comes from a local server on a thread of its own.
//
// Usage: watch_bench [--ledger-entries N] [--page-entries N] [--runs N]
#include "bench/event_gap_meter.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "tests/ui/support/main_window_harness.h"
#include "ui/ledger/ledger_watch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>
#include <tuple>

namespace {

using coffer::bench::EventGapMeter;
using coffer::test::MainWindowHarness;
using coffer::test::RunUntil;

std::string Log(std::size_t entries, std::uint64_t seed) {
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.seed = seed;
    options.spread_days = 365;
    return coffer::bench::GenerateBankLog(options);
}

// Answers every request with the page it holds, on its own thread.
class PageServer : public QTcpServer {
  public:
    QByteArray page;

  protected:
    void incomingConnection(qintptr descriptor) override {
        auto* visitor = new QTcpSocket(this);
        visitor->setSocketDescriptor(descriptor);
        connect(visitor, &QTcpSocket::readyRead, visitor, [this, visitor] {
            if (!visitor->readAll().contains("\r\n\r\n"))
                return;
            visitor->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                           QByteArray::number(page.size()) + "\r\n\r\n" + page);
            visitor->disconnectFromHost();
        });
        connect(visitor, &QTcpSocket::disconnected, visitor, &QObject::deleteLater);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes
    std::size_t ledgerEntries = 1'000'000, pageEntries = 10'000;
    int runs = 3;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--ledger-entries")
            ledgerEntries = args[i + 1].toULongLong();
        else if (args[i] == u"--page-entries")
            pageEntries = args[i + 1].toULongLong();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }

    MainWindowHarness harness;
    harness.ledgerIdle(); // the first reading, of no ledger yet
    const std::string ledger = harness.folder().toStdString() + "/ledger.sqlite";
    QElapsedTimer clock;
    clock.start();
    std::ignore = coffer::AddToLedger(*coffer::OpenLedger(ledger, coffer::LedgerAccess::ReadWrite),
                                      Log(ledgerEntries, 1), "year.xml", 0);
    std::printf("ledger of %zu entries built in %lld ms\n", ledgerEntries, static_cast<long long>(clock.elapsed()));
    harness.click("cmdLedger");
    harness.click("cmdLedgerRefresh");
    auto* add = harness.find<QAbstractButton>("cmdLedgerAdd");
    auto* lists = harness.find<QTabWidget>("tabLedgerLists");
    if (!RunUntil([&] { return add->isEnabled() && lists->tabText(0) == u"Pastes: 1"; }, 600000)) {
        std::printf("the ledger was not read\n");
        return 1;
    }

    QThread serving;
    PageServer server;
    server.moveToThread(&serving);
    serving.start();
    QMetaObject::invokeMethod(
        &server, [&server] { server.listen(QHostAddress::LocalHost); }, Qt::BlockingQueuedConnection);
    const QString address = QStringLiteral("http://127.0.0.1:%1/guild-bank-log.xml").arg(server.serverPort());
    coffer::LedgerWatch& watch = harness.window().watch();
    for (int run = 0; run < runs; ++run) {
        const QByteArray page = QByteArray::fromStdString(Log(pageEntries, 100 + run));
        QMetaObject::invokeMethod(
            &server, [&server, page] { server.page = page; }, Qt::BlockingQueuedConnection);
        const QString pastesBefore = lists->tabText(0);
        watch.start(address, 60);
        if (!RunUntil([&] { return !add->isEnabled(); }, 120000)) {
            std::printf("the page never arrived: %s\n", qPrintable(watch.lines().join(u'\n')));
            return 1;
        }
        clock.start();
        EventGapMeter gaps;
        gaps.start();
        if (!RunUntil([&] { return lists->tabText(0) != pastesBefore; }, 120000)) {
            std::printf("the panel was never refreshed: %s\n", qPrintable(watch.lines().join(u'\n')));
            return 1;
        }
        const qint64 refreshedMs = clock.elapsed();
        std::printf("page of %zu entries (%lld bytes) into the ledger: %lld ms to the panel refreshed, longest "
                    "event gap %lld ms; %s\n",
                    pageEntries, static_cast<long long>(page.size()), static_cast<long long>(refreshedMs),
                    static_cast<long long>(gaps.stop()), qPrintable(watch.lines().value(0)));
    }
    watch.stop();
    QMetaObject::invokeMethod(
        &server, [&server] { server.close(); }, Qt::BlockingQueuedConnection);
    serving.quit();
    serving.wait();
    return 0;
}
