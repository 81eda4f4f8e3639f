// SPDX-License-Identifier: MIT
#pragma once
// The modal dialogs of the main window, behind one small interface so that tests can answer them in
// advance. QtUserDialogs shows the real ones.

#include <QString>
#include <optional>

class QWidget;

namespace coffer {

class UserDialogs {
  public:
    // WaitStop: "Wait" for work under way to end, or "Stop" it.
    enum class Buttons { OkCancel, YesNo, WaitStop };

    virtual ~UserDialogs() = default;
    // An Open dialog titled `title` listing the files of a name filter (none: all files), starting in
    // `folder`; "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter = {}) = 0;
    // A Save dialog with a name filter ("HTML Files (*.htm *.html)"), starting in `folder` (or where
    // the platform likes when empty; a file's path there suggests its name), titled `title` (or as the platform's Save
    // dialog when empty);
    // "" when cancelled. The dialog itself never asks about overwriting: the caller does.
    virtual QString saveFileName(QWidget* parent, const QString& filter, const QString& folder = {},
                                 const QString& title = {}) = 0;
    // A question; true for OK, Yes or Wait (which Escape also answers).
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text,
                         Buttons buttons = Buttons::OkCancel) = 0;
    // A message with an OK button: news, or (`warning`) something that went wrong.
    virtual void inform(QWidget* parent, const QString& title, const QString& text, bool warning = false) = 0;
    // "Connect to a Shared Ledger", starting from `current` (a server ledger's URI, or ""): the URI of
    // the ledger chosen; "" when cancelled.
    virtual QString sharedLedger(QWidget* parent, const QString& current) = 0;
    // The password the server of `ledger` (as shown) wants; none when cancelled.
    virtual std::optional<QString> password(QWidget* parent, const QString& ledger) = 0;
};

class QtUserDialogs : public UserDialogs {
  public:
    QString openFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter = {}) override;
    QString saveFileName(QWidget* parent, const QString& filter, const QString& folder = {},
                         const QString& title = {}) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text,
                 Buttons buttons = Buttons::OkCancel) override;
    void inform(QWidget* parent, const QString& title, const QString& text, bool warning = false) override;
    QString sharedLedger(QWidget* parent, const QString& current) override;
    std::optional<QString> password(QWidget* parent, const QString& ledger) override;
};

} // namespace coffer
