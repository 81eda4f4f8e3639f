// SPDX-License-Identifier: MIT
#pragma once
// The Guild Ledger panel's tab "Rules and alerts": the ledger's rules with their numbers (add one through
// the form of the five kinds, remove one, "Check on history" with how often each would have fired in the
// last 30 days), the alerts they fired, newest first, with "Show these entries" for the one chosen, and
// the webhook address the window's adds post their alerts to.

#include "ledger/fired_alert.h"
#include "ui/ledger/rules_job.h"

#include <QDate>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace coffer {

class RuleForm;

// The entries an alert is about, as the entries list shows them: its member's (every member's, for a gap) of
// its day or ISO week ("2008-12-03", "2008-W49"), or of every day for a member who never deposited, as the
// rule that its line names says.
struct AlertEntries {
    std::optional<std::string> member;
    std::optional<std::pair<QDate, QDate>> days;
    bool operator==(const AlertEntries&) const = default;
};
AlertEntries EntriesOfAlert(const FiredAlert& alert);

class RulesTab : public QWidget {
    Q_OBJECT
  public:
    explicit RulesTab(QWidget* parent = nullptr);

    // The rules and alerts read, or why they could not be.
    void showRules(const std::vector<RulesJob::Rule>& rules, const std::vector<FiredAlert>& alerts);
    void showFailure(const QString& text);
    // How often each rule would have fired, by its number: a column of its own while the rules stay the same.
    void showFires(const std::map<std::int64_t, std::uint64_t>& fires);
    // While the ledger's rules are read or changed, nothing else changes them.
    void setBusy(bool busy);
    void setWebhook(const QString& address);
    QString webhook() const;

  signals:
    void addWanted(const coffer::AlertRule& rule);
    void removeWanted(std::int64_t number);
    void checkWanted();
    void entriesWanted(const coffer::AlertEntries& entries);
    void webhookChanged(const QString& address);
    void opened(); // the tab shows

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void enableActions();

    RuleForm* form_;
    QPushButton* addButton_;
    QTreeWidget* ruleList_;
    QPushButton* removeButton_;
    QPushButton* checkButton_;
    QTreeWidget* alertList_;
    QPushButton* showEntriesButton_;
    QLineEdit* webhookBox_;
    QLabel* statusLabel_;
    std::vector<RulesJob::Rule> rules_;
    std::vector<FiredAlert> alerts_;
    std::optional<std::map<std::int64_t, std::uint64_t>> fires_; // of the last check
    bool busy_ = false;
};

} // namespace coffer
