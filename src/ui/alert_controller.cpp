// SPDX-License-Identifier: MIT
#include "ui/alert_controller.h"

#include "ledger/told_alerts.h"
#include "shell/output_files.h"
#include "shell/qt/local_days.h"
#include "ui/base/engine_text.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/ledger/ledger_panel.h"
#include "ui/ledger/rules_tab.h"
#include "ui/ledger_attention.h"

#include <QDate>
#include <QFile>
#include <QTimeZone>
#include <QUrl>
#include <sys/stat.h>

namespace coffer {
namespace {

const QString kAlertWord = QStringLiteral("ALERT ");
// More than an address ever takes: a larger file is none of the window's.
constexpr qint64 kWebhookFileMaxBytes = 64 * 1024;

} // namespace

AlertController::AlertController(Window window, QObject* parent) : QObject(parent), window_(std::move(window)) {
    RulesTab& rules = tab();
    LedgerController& ledger = window_.ledger;
    connect(&ledger, &LedgerController::busyChanged, this, [this] {
        if (!window_.ledger.busy())
            read();
    });
    connect(&ledger, &LedgerController::addedInBackground, this, &AlertController::read);
    connect(&ledger, &LedgerController::alertsFired, this, &AlertController::tellFired);
    connect(&job_, &RulesJob::finished, this, &AlertController::onFinished);
    const auto path = [this] { return window_.ledger.path().toStdString(); };
    connect(&rules, &RulesTab::addWanted, this, [this, path](const AlertRule& rule) {
        change([this, path, rule] { job_.addRule(path(), rule, QTimeZone::systemTimeZoneId().toStdString()); });
    });
    connect(&rules, &RulesTab::removeWanted, this,
            [this, path](std::int64_t number) { change([this, path, number] { job_.removeRule(path(), number); }); });
    connect(&rules, &RulesTab::checkWanted, this, [this, path] {
        change([this, path] {
            const QDate today = QDate::currentDate();
            job_.check(path(), LocalDaysRange(ToLocalDate(today.addDays(-29)), ToLocalDate(today)));
        });
    });
    connect(&rules, &RulesTab::opened, this, [this] {
        unseen_ = 0;
        window_.attention.setUnseenAlerts({});
    });
    connect(&rules, &RulesTab::webhookChanged, this, &AlertController::keepWebhook);
    QFile kept(ToQString(window_.webhookFile.string()));
    if (!window_.webhookFile.empty() && kept.size() <= kWebhookFileMaxBytes && kept.open(QIODevice::ReadOnly))
        rules.setWebhook(QString::fromUtf8(kept.readAll()).trimmed());
}

RulesTab& AlertController::tab() const {
    return *window_.panel.rulesTab();
}

void AlertController::change(std::function<void()> start) {
    tab().setBusy(true); // one change at a time
    if (job_.running())
        change_ = std::move(start); // after the reading under way
    else
        start();
}

void AlertController::read() {
    if (job_.running()) {
        readAgain_ = true;
        return;
    }
    job_.read(window_.ledger.path().toStdString());
}

void AlertController::onFinished() {
    RulesJob::Results results = job_.takeResults();
    if (!results.error.empty())
        tab().showFailure(ToQString(results.error).simplified());
    if (results.read) {
        // The first reading of a ledger only learns what it holds: those alerts were told when they fired.
        if (results.file != knownFile_) {
            knownFile_ = results.file;
            known_.clear();
        } else {
            std::vector<FiredAlert> fresh; // fired by another program's add, oldest first as told
            for (auto alert = results.alerts.rbegin(); alert != results.alerts.rend(); ++alert)
                if (!known_.contains(KeyOf(*alert)))
                    fresh.push_back(*alert);
            if (!fresh.empty())
                tell(fresh);
        }
        for (const FiredAlert& alert : results.alerts)
            known_.insert(KeyOf(alert));
        tab().showRules(results.rules, results.alerts);
    }
    if (results.fires)
        tab().showFires(*results.fires);
    if (const std::function<void()> start = std::exchange(change_, {})) {
        start();
        return;
    }
    tab().setBusy(false);
    if (std::exchange(readAgain_, false))
        read();
}

void AlertController::tellFired(const std::vector<FiredAlert>& alerts) {
    for (const FiredAlert& alert : alerts)
        known_.insert(KeyOf(alert));
    tell(alerts);
    post(alerts);
}

void AlertController::post(const std::vector<FiredAlert>& alerts) {
    const QString address = tab().webhook();
    if (address.isEmpty())
        return;
    // A failure names the host alone: the address's path is its secret.
    const QString host = QUrl(address).host();
    for (const ToldAlert& told : AlertsToTell(alerts))
        poster_.start(address.toStdString(), ChatMessageJson(told.line), [this, host](const std::string& failure) {
            if (!failure.empty())
                tab().showFailure(
                    QStringLiteral("An alert could not be posted to %1: %2").arg(host, ToQString(failure)));
        });
}

void AlertController::tell(const std::vector<FiredAlert>& alerts) {
    // As coffer-cli tells an add's alerts: the first ones one by one, then how many more there are.
    QStringList lines;
    for (const ToldAlert& told : AlertsToTell(alerts))
        lines << kAlertWord + ToQString(told.line);
    const QString newest = ToQString(alerts.back().line);
    const qsizetype more = static_cast<qsizetype>(alerts.size()) - 1;
    window_.statusBar(kAlertWord + newest + (more > 0 ? QStringLiteral(" (and %1 more)").arg(more) : QString()));
    // The panel's status keeps what it said of the ledger; the alerts told before give way.
    QStringList status;
    for (const QString& line : window_.panel.statusText().split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(kAlertWord))
            status << line;
    window_.panel.showStatus((status + lines).join(u'\n'));

    QStringList body;
    for (const FiredAlert& alert : alerts)
        if (body.size() < kNoticeLines)
            body << ToQString(alert.line);
    if (std::cmp_greater(alerts.size(), kNoticeLines))
        body << QStringLiteral("and %1 more").arg(alerts.size() - static_cast<std::size_t>(kNoticeLines));
    window_.notice(alerts.size() == 1 ? QStringLiteral("Guild ledger alert")
                                      : QStringLiteral("%1 guild ledger alerts").arg(alerts.size()),
                   body.join(u'\n'));
    if (tab().isVisible())
        return;
    unseen_ += static_cast<qsizetype>(alerts.size());
    window_.attention.setUnseenAlerts(unseen_ == 1
                                          ? QStringLiteral("A new alert: %1").arg(newest)
                                          : QStringLiteral("%1 new alerts, the newest: %2").arg(unseen_).arg(newest));
}

void AlertController::keepWebhook(const QString& address) const {
    if (window_.webhookFile.empty())
        return;
    if (address.isEmpty()) {
        std::error_code ignored; // no file is as good as an empty one
        std::filesystem::remove(window_.webhookFile, ignored);
        return;
    }
    // Its path is the webhook's secret: the file is the user's alone, as the watch's lines are.
    const std::string error =
        WriteFileReplacing(window_.webhookFile, (address + u'\n').toStdString(), S_IRUSR | S_IWUSR);
    if (!error.empty())
        tab().showFailure(QStringLiteral("The webhook address could not be kept: ") + ToQString(error));
}

} // namespace coffer
