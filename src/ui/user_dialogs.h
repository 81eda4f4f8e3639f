#pragma once
// The modal dialogs of the main window, behind one small interface so that tests can answer them in
// advance. QtUserDialogs shows the real ones.

#include <QString>

class QWidget;

namespace coffer {

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    // An Open dialog listing all files, starting in `folder`; "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& folder) = 0;
    // A Save dialog with a name filter ("HTML Files (*.htm *.html)"), starting in `folder` (or where
    // the platform likes when empty); "" when cancelled. The dialog itself never asks about
    // overwriting: the caller does.
    virtual QString saveFileName(QWidget* parent, const QString& filter, const QString& folder = {}) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text) = 0;
    // A message with an OK button.
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;
};

class QtUserDialogs : public UserDialogs {
  public:
    QString openFileName(QWidget* parent, const QString& folder) override;
    QString saveFileName(QWidget* parent, const QString& filter, const QString& folder = {}) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text) override;
    void inform(QWidget* parent, const QString& title, const QString& text) override;
};

} // namespace coffer
