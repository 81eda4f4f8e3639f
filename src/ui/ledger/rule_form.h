// SPDX-License-Identifier: MIT
#pragma once
// The form of a new alert rule: its kind, then the fields that kind takes (the amount or count and the
// day or week, repairs, the tab, the rank) on one row, written as the rule's text that ParseAlertRule reads,
// which its label shows as it is filled in (placed where the form's user has room for it). A field that
// makes no rule (an amount that is no amount) gives none.

#include "ledger/alert_rule.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace coffer {

class RuleForm : public QWidget {
    Q_OBJECT
  public:
    explicit RuleForm(QWidget* parent = nullptr);

    QString text() const; // the rule's text, as the fields write it
    QLabel* textLabel() const { return textLabel_; }
    std::optional<AlertRule> rule() const { return ParseAlertRule(text().toStdString()); }

  signals:
    void changed();

  private:
    void follow(); // the fields of the kind chosen, and the text they write

    QComboBox* kindChoice_;
    QLineEdit* amountBox_;
    QComboBox* spanChoice_;
    QCheckBox* repairsBox_;
    QCheckBox* tabBox_;
    QSpinBox* tabNumber_;
    QCheckBox* rankBox_;
    QSpinBox* rankNumber_;
    QLabel* orBelow_;
    QLabel* textLabel_;
};

} // namespace coffer
