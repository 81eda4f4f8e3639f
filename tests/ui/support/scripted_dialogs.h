// SPDX-License-Identifier: MIT
#pragma once
// Dialogs answered in advance: each call takes the next answer of its kind (a cancelled dialog or
// Cancel when none is left) and records what it was asked.

#include "ui/base/user_dialogs.h"

#include <QList>
#include <QStringList>

namespace coffer::test {

class ScriptedDialogs : public UserDialogs {
  public:
    QStringList openAnswers;
    QStringList saveAnswers;
    QList<bool> confirmAnswers;
    QStringList sharedLedgerAnswers;
    QStringList passwordAnswers;

    QStringList folders;        // where each Open or Save dialog started
    QStringList questions;      // texts of the confirmations asked
    QList<Buttons> buttons;     // and the answers each offered
    QStringList messages;       // texts of the messages shown
    QStringList warnings;       // those of them shown as warnings
    QStringList passwordsAsked; // the ledgers a password was asked for

    QString openFileName(QWidget*, const QString&, const QString& folder, const QString& = {}) override {
        folders << folder;
        return take(openAnswers);
    }
    QString saveFileName(QWidget*, const QString&, const QString& folder = {}, const QString& = {}) override {
        folders << folder;
        return take(saveAnswers);
    }
    bool confirm(QWidget*, const QString&, const QString& text, Buttons offered = Buttons::OkCancel) override {
        questions << text;
        buttons << offered;
        return !confirmAnswers.isEmpty() && confirmAnswers.takeFirst();
    }
    void inform(QWidget*, const QString&, const QString& text, bool warning = false) override {
        messages << text;
        if (warning)
            warnings << text;
    }

    QString sharedLedger(QWidget*, const QString&) override { return take(sharedLedgerAnswers); }
    std::optional<QString> password(QWidget*, const QString& ledger) override {
        passwordsAsked << ledger;
        return passwordAnswers.isEmpty() ? std::nullopt : std::optional(passwordAnswers.takeFirst());
    }

  private:
    static QString take(QStringList& answers) { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};

} // namespace coffer::test
