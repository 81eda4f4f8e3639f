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
#include <string_view>

namespace coffer {
namespace {

enum RuleColumn { NumberColumn, RuleTextColumn, FiresColumn };

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

// The rule an alert's line names at its end, "(rule 4: withdrawals with no deposit ever)": it stays there
// when the rule is removed.
std::optional<AlertRule> RuleOfLine(std::string_view line, std::int64_t number) {
    const std::string mark = "(rule " + std::to_string(number) + ": ";
    const std::size_t at = line.rfind(mark);
    if (at == std::string_view::npos || !line.ends_with(')'))
        return std::nullopt;
    return ParseAlertRule(line.substr(at + mark.size(), line.size() - at - mark.size() - 1));
}

} // namespace

AlertEntries EntriesOfAlert(const FiredAlert& alert) {
    const std::optional<AlertRule> rule = RuleOfLine(alert.line, alert.rule);
    const bool newcomer = rule && rule->kind == AlertKind::Newcomer;
    return {.member = alert.member.empty() ? std::nullopt : std::optional(alert.member),
            .days = newcomer ? std::nullopt : DaysOf(alert.day)};
}

RulesTab::RulesTab(QWidget* parent) : QWidget(parent) {
    removeButton_ = Named(new QPushButton(QStringLiteral("Remove"), this), "btnRemoveRule");
    checkButton_ = Named(new QPushButton(QStringLiteral("Check on history"), this), "btnCheckRules");
    checkButton_->setToolTip(QStringLiteral("How many alerts each rule would have fired in the last 30 days"));
    ruleList_ = Named(new QTreeWidget(this), "lstRules");
    ruleList_->setRootIsDecorated(false);
    ruleList_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Rule"), QStringLiteral("30 days")});
    ruleList_->headerItem()->setToolTip(FiresColumn, checkButton_->toolTip());
    for (int column : {NumberColumn, FiresColumn})
        ruleList_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    ruleList_->header()->setSectionResizeMode(RuleTextColumn, QHeaderView::Stretch);
    ruleList_->header()->setStretchLastSection(false);
    form_ = new RuleForm(this);
    addButton_ = Named(new QPushButton(QStringLiteral("Add rule"), this), "btnAddRule");

    alertList_ = Named(new QTreeWidget(this), "lstAlerts");
    alertList_->setRootIsDecorated(false);
    alertList_->setAlternatingRowColors(true);
    alertList_->setHeaderLabels({QStringLiteral("Fired"), QStringLiteral("Alert")});
    showEntriesButton_ = Named(new QPushButton(QStringLiteral("Show these entries"), this), "btnShowAlertEntries");
    webhookBox_ = Named(new QLineEdit(this), "txtAlertWebhook");
    webhookBox_->setPlaceholderText(QStringLiteral("https://… (empty: alerts are posted nowhere)"));
    webhookBox_->setEchoMode(QLineEdit::PasswordEchoOnEdit); // its path is a secret
    statusLabel_ = Named(new QLabel(this), "lblRulesStatus");
    statusLabel_->setWordWrap(true);

    // The rules and the alerts side by side, so that both keep a few rows in a panel that the watch's box
    // leaves short; each list has its buttons beside it.
    const auto withButtons = [this](QWidget* list, std::initializer_list<QWidget*> buttons) {
        auto* part = new QWidget(this);
        auto* row = new QHBoxLayout(part);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(list, 1);
        auto* column = new QVBoxLayout;
        for (QWidget* button : buttons)
            column->addWidget(button);
        column->addStretch();
        row->addLayout(column);
        return part;
    };
    auto* lists = new QSplitter(Qt::Horizontal, this);
    lists->setChildrenCollapsible(false);
    lists->addWidget(withButtons(ruleList_, {removeButton_, checkButton_}));
    lists->addWidget(withButtons(alertList_, {showEntriesButton_}));
    lists->setSizes({1, 1});
    auto* adding = new QHBoxLayout;
    adding->addWidget(form_, 1);
    adding->addWidget(addButton_);
    auto* posting = new QHBoxLayout;
    posting->addWidget(form_->textLabel(), 1);
    posting->addWidget(new QLabel(QStringLiteral("Post alerts to:"), this));
    posting->addWidget(webhookBox_, 1);
    statusLabel_->hide(); // until it has something to say: the lists take its row
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(lists, 1);
    column->addLayout(adding);
    column->addLayout(posting);
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
        emit entriesWanted(EntriesOfAlert(alerts_.at(static_cast<std::size_t>(alertList_->indexOfTopLevelItem(row)))));
    };
    connect(showEntriesButton_, &QPushButton::clicked, this, showEntries);
    connect(alertList_, &QTreeWidget::itemDoubleClicked, this, showEntries);
    connect(webhookBox_, &QLineEdit::editingFinished, this,
            [this] { emit webhookChanged(webhookBox_->text().trimmed()); });
    enableActions();
}

void RulesTab::showRules(const std::vector<RulesJob::Rule>& rules, const std::vector<FiredAlert>& alerts) {
    showFailure({});
    // The lists are read again after every add: the rule and the alert chosen stay chosen, and the counts
    // of a check stay while the rules are the ones checked.
    const auto numbers = [](const std::vector<RulesJob::Rule>& list) {
        std::vector<std::int64_t> numbers;
        for (const RulesJob::Rule& rule : list)
            numbers.push_back(rule.number);
        return numbers;
    };
    if (numbers(rules) != numbers(rules_))
        fires_.reset();
    const auto chosen = [](const QTreeWidget* list, const auto& rows) {
        const int row = list->indexOfTopLevelItem(list->currentItem());
        return row < 0 ? std::nullopt : std::optional(rows.at(static_cast<std::size_t>(row)));
    };
    const std::optional<RulesJob::Rule> chosenRule = chosen(ruleList_, rules_);
    const std::optional<FiredAlert> chosenAlert = chosen(alertList_, alerts_);
    rules_ = rules;
    alerts_ = alerts;
    ruleList_->clear();
    for (const RulesJob::Rule& rule : rules_) {
        auto* row = new QTreeWidgetItem(ruleList_, {QString::number(rule.number), ToQString(rule.text), QString()});
        row->setTextAlignment(NumberColumn, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(FiresColumn, Qt::AlignRight | Qt::AlignVCenter);
        row->setToolTip(RuleTextColumn, QStringLiteral("Its days and weeks are those of %1").arg(ToQString(rule.zone)));
        if (chosenRule && chosenRule->number == rule.number)
            ruleList_->setCurrentItem(row);
    }
    alertList_->clear();
    for (const FiredAlert& alert : alerts_) {
        const QString line = ToQString(alert.line);
        auto* row = new QTreeWidgetItem(alertList_, {ToQString(LocalTimeText(alert.firedAt)), line});
        row->setToolTip(1, line); // the list has room for its start, the member's part
        if (chosenAlert == alert)
            alertList_->setCurrentItem(row);
    }
    alertList_->resizeColumnToContents(0);
    if (fires_)
        showFires(*fires_);
    enableActions();
}

void RulesTab::showFailure(const QString& text) {
    statusLabel_->setText(text);
    statusLabel_->setVisible(!text.isEmpty());
}

void RulesTab::showFires(const std::map<std::int64_t, std::uint64_t>& fires) {
    fires_ = fires;
    for (int index = 0; index < ruleList_->topLevelItemCount(); ++index) {
        const auto found = fires.find(rules_.at(static_cast<std::size_t>(index)).number);
        ruleList_->topLevelItem(index)->setText(FiresColumn, QString::number(found == fires.end() ? 0 : found->second));
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
