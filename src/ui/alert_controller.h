// SPDX-License-Identifier: MIT
#pragma once
// The window's side of the ledger's alert rules: "Rules and alerts" kept up to date with the ledger in use
// (read again after each read or add, the window's own, its watch's or another program's), its rules added
// and removed, and each alert told once: in the window's status, as a desktop notice, and as "Guild
// Ledger (!)" until the tab has shown it. Alerts of the window's own adds and watch also go to the webhook
// address set in the tab, which a file of the user's data folder keeps, readable by the user alone.

#include "ledger/fired_alert.h"
#include "net/webhook_poster.h"
#include "ui/ledger/rules_job.h"

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace coffer {

class LedgerAttention;
class LedgerController;
class LedgerPanel;
class RulesTab;

class AlertController : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype kNoticeLines = 5; // of the alerts of one add, in its desktop notice

    struct Window {
        LedgerController& ledger;
        LedgerPanel& panel;
        LedgerAttention& attention;
        std::function<void(const QString& line)> statusBar;
        // A desktop notice: its first line and the rest.
        std::function<void(const QString& summary, const QString& body)> notice;
        std::filesystem::path webhookFile; // empty: the address is not kept
    };

    AlertController(Window window, QObject* parent = nullptr);

    // Alerts that the window's own add or its watch fired: told, and posted to the webhook.
    void tellFired(const std::vector<FiredAlert>& alerts);

  private:
    using Key = std::tuple<std::int64_t, std::string, std::string, std::string>;
    static Key KeyOf(const FiredAlert& alert) { return {alert.rule, alert.member, alert.day, alert.line}; }

    RulesTab& tab() const;
    // Starts a change of the rules, or a check, once the job is free; the tab takes no other meanwhile.
    void change(std::function<void()> start);
    void read();
    void onFinished();
    void tell(const std::vector<FiredAlert>& alerts);
    void keepWebhook(const QString& address) const;
    void post(const std::vector<FiredAlert>& alerts);

    Window window_;
    RulesJob job_;
    WebhookPoster poster_;
    std::function<void()> change_; // waits for the job
    bool readAgain_ = false;
    std::string knownFile_; // the ledger whose alerts `known_` holds
    std::set<Key> known_;   // read from it or told
    qsizetype unseen_ = 0;  // alerts told since the tab last showed
};

} // namespace coffer
