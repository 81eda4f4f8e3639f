// SPDX-License-Identifier: MIT
#include "ui/ledger/rule_form.h"

#include "ui/base/named_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace coffer {
namespace {

// The kinds as the choice lists them, in the order of AlertKind.
const QStringList kKindChoices = {QStringLiteral("Gold withdrawn over"), QStringLiteral("Items withdrawn over"),
                                  QStringLiteral("Any withdrawal from a tab"),
                                  QStringLiteral("Withdrawals with no deposit ever"), QStringLiteral("A gap opened")};

QSpinBox* NumberBox(QWidget* parent, const char* name, int value) {
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(0, static_cast<int>(kLargestTabOrRank));
    box->setValue(value);
    return box;
}

} // namespace

RuleForm::RuleForm(QWidget* parent) : QWidget(parent) {
    kindChoice_ = Named(new QComboBox(this), "cmbRuleKind");
    kindChoice_->addItems(kKindChoices);
    amountBox_ = Named(new QLineEdit(this), "txtRuleAmount");
    amountBox_->setMaximumWidth(amountBox_->fontMetrics().horizontalAdvance(u'0') * 14);
    spanChoice_ = Named(new QComboBox(this), "cmbRuleSpan");
    spanChoice_->addItems({QStringLiteral("a day"), QStringLiteral("a week")});
    repairsBox_ = Named(new QCheckBox(QStringLiteral("or repaired"), this), "chkRuleRepairs");
    tabBox_ = Named(new QCheckBox(QStringLiteral("from tab"), this), "chkRuleTab");
    tabNumber_ = NumberBox(this, "spnRuleTab", 1);
    rankBox_ = Named(new QCheckBox(QStringLiteral("by rank"), this), "chkRuleRank");
    rankNumber_ = NumberBox(this, "spnRuleRank", 3);
    orBelow_ = new QLabel(QStringLiteral("or below"), this);
    textLabel_ = Named(new QLabel(this), "lblRuleText");
    textLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* fields = new QHBoxLayout(this);
    fields->setContentsMargins(0, 0, 0, 0);
    for (QWidget* field : std::initializer_list<QWidget*>{kindChoice_, repairsBox_, amountBox_, spanChoice_, tabBox_,
                                                          tabNumber_, rankBox_, rankNumber_, orBelow_})
        fields->addWidget(field);
    fields->addStretch();

    connect(kindChoice_, &QComboBox::currentIndexChanged, this, &RuleForm::follow);
    connect(amountBox_, &QLineEdit::textChanged, this, &RuleForm::follow);
    connect(spanChoice_, &QComboBox::currentIndexChanged, this, &RuleForm::follow);
    for (QCheckBox* box : {repairsBox_, tabBox_, rankBox_})
        connect(box, &QCheckBox::toggled, this, &RuleForm::follow);
    for (QSpinBox* box : {tabNumber_, rankNumber_})
        connect(box, &QSpinBox::valueChanged, this, &RuleForm::follow);
    follow();
}

QString RuleForm::text() const {
    const QString span = QStringLiteral(" ") + spanChoice_->currentText();
    const QString amount = amountBox_->text().trimmed();
    switch (static_cast<AlertKind>(kindChoice_->currentIndex())) {
    case AlertKind::Gold:
        return QStringLiteral("gold withdrawn%1 over %2")
                   .arg(repairsBox_->isChecked() ? QStringLiteral(" or repaired") : QString(), amount) +
               span;
    case AlertKind::Items:
        return QStringLiteral("items withdrawn over %1").arg(amount) + span +
               (tabBox_->isChecked() ? QStringLiteral(" from tab %1").arg(tabNumber_->value()) : QString());
    case AlertKind::Tab:
        return QStringLiteral("any withdrawal from tab %1").arg(tabNumber_->value()) +
               (rankBox_->isChecked() ? QStringLiteral(" by rank %1 or below").arg(rankNumber_->value()) : QString());
    case AlertKind::Newcomer:
        return QStringLiteral("withdrawals with no deposit ever");
    case AlertKind::Gap:
        break;
    }
    return QStringLiteral("a gap opened");
}

void RuleForm::follow() {
    const auto kind = static_cast<AlertKind>(kindChoice_->currentIndex());
    const bool counted = kind == AlertKind::Gold || kind == AlertKind::Items;
    amountBox_->setVisible(counted);
    spanChoice_->setVisible(counted);
    amountBox_->setPlaceholderText(kind == AlertKind::Gold ? QStringLiteral("500g") : QStringLiteral("100"));
    repairsBox_->setVisible(kind == AlertKind::Gold);
    // A tab rule always names its tab; an items rule may.
    tabBox_->setVisible(kind == AlertKind::Items || kind == AlertKind::Tab);
    tabBox_->setEnabled(kind == AlertKind::Items);
    if (kind == AlertKind::Tab)
        tabBox_->setChecked(true);
    tabNumber_->setVisible(!tabBox_->isHidden());
    tabNumber_->setEnabled(tabBox_->isChecked());
    rankBox_->setVisible(kind == AlertKind::Tab);
    rankNumber_->setVisible(kind == AlertKind::Tab);
    orBelow_->setVisible(kind == AlertKind::Tab);
    rankNumber_->setEnabled(rankBox_->isChecked());
    const QString written = text();
    textLabel_->setText(rule() ? QStringLiteral("The rule: ") + written : QStringLiteral("Not a rule yet: ") + written);
    emit changed();
}

} // namespace coffer
