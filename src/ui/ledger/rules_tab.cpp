// SPDX-License-Identifier: MIT
#include "ui/ledger/rules_tab.h"

#include "ledger/local_time_text.h"
#include "ui/base/engine_text.h"
#include "ui/base/named_widget.h"
#include "ui/ledger/rule_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace coffer {
namespace {

enum RuleColumn { NumberColumn, RuleTextColumn, ZoneColumn, FiresColumn };

// The days of an alert's "2008-12-03", or the Monday to the Sunday of its ISO week "2008-W49".
std::optional<std::pair<QDate, QDate>> DaysOf(const std::string& day) {
    static const QRegularExpression week(QStringLiteral("^(\\d{4})-W(\\d{2})$"));
    const QString text = ToQString(day);
    if (const QRegularExpressionMatch found = week.match(text); found.hasMatch()) {
        // 4 January is always in the year's first ISO week.
        const QDate fourth(found.captured(1).toInt(), 1, 4);
        const QDate monday = fourth.addDays(1 - fourth.dayOfWeek() + 7 * (found.captured(2).toInt() - 1));
        return std::pair{monday, monday.addDays(6)};
    }
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional(std::pair{date, date}) : std::nullopt;
}

} // namespace

AlertEntries EntriesOfAlert(const FiredAlert& alert, std::optional<AlertKind> kind) {
    return {.member = alert.member.empty() ? std::nullopt : std::optional(alert.member),
            .days = kind == AlertKind::Newcomer ? std::nullopt : DaysOf(alert.day)};
}

RulesTab::RulesTab(QWidget* parent) : QWidget(parent) {
    ruleList_ = Named(new QTreeWidget(this), "lstRules");
    ruleList_->setRootIsDecorated(false);
    ruleList_->setHeaderLabels({QStringLiteral("Number"), QStringLiteral("Rule"), QStringLiteral("Time zone"),
                                QStringLiteral("Last 30 days")});
    ruleList_->header()->setSectionResizeMode(RuleTextColumn, QHeaderView::Stretch);
    ruleList_->header()->setStretchLastSection(false);
    removeButton_ = Named(new QPushButton(QStringLiteral("Remove"), this), "btnRemoveRule");
    checkButton_ = Named(new QPushButton(QStringLiteral("Check on history"), this), "btnCheckRules");
    checkButton_->setToolTip(QStringLiteral("How many alerts each rule would have fired in the last 30 days"));
    form_ = new RuleForm(this);
    addButton_ = Named(new QPushButton(QStringLiteral("Add rule"), this), "btnAddRule");

    alertList_ = Named(new QTreeWidget(this), "lstAlerts");
    alertList_->setRootIsDecorated(false);
    alertList_->setAlternatingRowColors(true);
    alertList_->setHeaderLabels({QStringLiteral("Fired"), QStringLiteral("Alert")});
    alertList_->setTextElideMode(Qt::ElideMiddle);
    showEntriesButton_ = Named(new QPushButton(QStringLiteral("Show these entries"), this), "btnShowAlertEntries");
    webhookBox_ = Named(new QLineEdit(this), "txtAlertWebhook");
    webhookBox_->setPlaceholderText(QStringLiteral("https://… (empty: alerts are posted nowhere)"));
    webhookBox_->setEchoMode(QLineEdit::PasswordEchoOnEdit); // its path is a secret
    statusLabel_ = Named(new QLabel(this), "lblRulesStatus");
    statusLabel_->setWordWrap(true);

    auto* ruleButtons = new QVBoxLayout;
    ruleButtons->addWidget(removeButton_);
    ruleButtons->addWidget(checkButton_);
    ruleButtons->addStretch();
    auto* rules = new QHBoxLayout;
    rules->setContentsMargins(0, 0, 0, 0);
    rules->addWidget(ruleList_, 1);
    rules->addLayout(ruleButtons);
    auto* adding = new QHBoxLayout;
    adding->addWidget(form_, 1);
    adding->addWidget(addButton_, 0, Qt::AlignTop);
    auto* rulesPart = new QWidget(this);
    auto* rulesColumn = new QVBoxLayout(rulesPart);
    rulesColumn->setContentsMargins(0, 0, 0, 0);
    rulesColumn->addLayout(rules, 1);
    rulesColumn->addLayout(adding);

    auto* alertsPart = new QWidget(this);
    auto* alertsColumn = new QVBoxLayout(alertsPart);
    alertsColumn->setContentsMargins(0, 0, 0, 0);
    alertsColumn->addWidget(alertList_, 1);
    auto* alertButtons = new QHBoxLayout;
    alertButtons->addWidget(showEntriesButton_);
    alertButtons->addWidget(new QLabel(QStringLiteral("Post alerts to:"), this));
    alertButtons->addWidget(webhookBox_, 1);
    alertsColumn->addLayout(alertButtons);

    auto* parts = new QSplitter(Qt::Vertical, this);
    parts->setChildrenCollapsible(false);
    parts->addWidget(rulesPart);
    parts->addWidget(alertsPart);
    parts->setStretchFactor(1, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(parts, 1);
    column->addWidget(statusLabel_);

    connect(form_, &RuleForm::changed, this, &RulesTab::enableActions);
    connect(ruleList_, &QTreeWidget::itemSelectionChanged, this, &RulesTab::enableActions);
    connect(alertList_, &QTreeWidget::itemSelectionChanged, this, &RulesTab::enableActions);
    connect(addButton_, &QPushButton::clicked, this, [this] {
        if (const std::optional<AlertRule> rule = form_->rule())
            emit addWanted(*rule);
    });
    connect(removeButton_, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* row = ruleList_->currentItem())
            emit removeWanted(rules_.at(static_cast<std::size_t>(ruleList_->indexOfTopLevelItem(row))).number);
    });
    connect(checkButton_, &QPushButton::clicked, this, &RulesTab::checkWanted);
    const auto showEntries = [this] {
        QTreeWidgetItem* row = alertList_->currentItem();
        if (row == nullptr)
            return;
        const FiredAlert& alert = alerts_.at(static_cast<std::size_t>(alertList_->indexOfTopLevelItem(row)));
        const auto rule = std::ranges::find(rules_, alert.rule, &RulesJob::Rule::number);
        const std::optional<AlertRule> parsed = rule == rules_.end() ? std::nullopt : ParseAlertRule(rule->text);
        emit entriesWanted(EntriesOfAlert(alert, parsed ? std::optional(parsed->kind) : std::nullopt));
    };
    connect(showEntriesButton_, &QPushButton::clicked, this, showEntries);
    connect(alertList_, &QTreeWidget::itemDoubleClicked, this, showEntries);
    connect(webhookBox_, &QLineEdit::editingFinished, this,
            [this] { emit webhookChanged(webhookBox_->text().trimmed()); });
    enableActions();
}

void RulesTab::showRules(const std::vector<RulesJob::Rule>& rules, const std::vector<FiredAlert>& alerts) {
    statusLabel_->clear();
    rules_ = rules;
    alerts_ = alerts;
    ruleList_->clear();
    for (const RulesJob::Rule& rule : rules_) {
        auto* row = new QTreeWidgetItem(
            ruleList_, {QString::number(rule.number), ToQString(rule.text), ToQString(rule.zone), QString()});
        row->setTextAlignment(NumberColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    ruleList_->resizeColumnToContents(NumberColumn);
    alertList_->clear();
    for (const FiredAlert& alert : alerts_)
        new QTreeWidgetItem(alertList_, {ToQString(LocalTimeText(alert.firedAt)), ToQString(alert.line)});
    alertList_->resizeColumnToContents(0);
    enableActions();
}

void RulesTab::showFailure(const QString& text) {
    statusLabel_->setText(text);
}

void RulesTab::showFires(const std::map<std::int64_t, std::uint64_t>& fires) {
    for (int index = 0; index < ruleList_->topLevelItemCount(); ++index) {
        const auto found = fires.find(rules_.at(static_cast<std::size_t>(index)).number);
        QTreeWidgetItem* row = ruleList_->topLevelItem(index);
        row->setText(FiresColumn, QString::number(found == fires.end() ? 0 : found->second));
        row->setTextAlignment(FiresColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void RulesTab::setBusy(bool busy) {
    busy_ = busy;
    enableActions();
}

void RulesTab::setWebhook(const QString& address) {
    webhookBox_->setText(address);
}

QString RulesTab::webhook() const {
    return webhookBox_->text().trimmed();
}

void RulesTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    emit opened();
}

void RulesTab::enableActions() {
    addButton_->setEnabled(!busy_ && form_->rule().has_value());
    removeButton_->setEnabled(!busy_ && ruleList_->currentItem() != nullptr);
    checkButton_->setEnabled(!busy_ && !rules_.empty());
    showEntriesButton_->setEnabled(alertList_->currentItem() != nullptr);
}

} // namespace coffer
