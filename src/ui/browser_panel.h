// SPDX-License-Identifier: MIT
#pragma once
// Frame1, the Browser panel: an address box with "Go", "Launch" and "Quickstart", and the built-in
// browser WebBrowser1. On a bank log page it offers to add the page's source to the bank log text, and
// to have the window add the page to the ledger every few minutes (the row under the buttons, which
// moves the browser down while it shows).
// The browser keeps its sign-ins (session cookies too) and its cache in a folder of its own, so that
// an officer signed in to the armory stays signed in across starts.

#include "ui/base/twips.h"

#include <QGroupBox>

#include <filesystem>

class QLineEdit;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;

namespace coffer {

class ProfileCookies;
class WatchChoice;

class BrowserPanel : public QGroupBox {
    Q_OBJECT
  public:
    // `profileFolder` keeps the sign-ins and the cache; empty: they last as long as the panel.
    BrowserPanel(const QString& armoryBase, const std::filesystem::path& profileFolder, QWidget* parent = nullptr);

    void navigate(const QUrl& url); // WebBrowser1 navigates
    QWebEngineProfile* profile() const { return profile_; }
    const ProfileCookies& cookies() const { return *cookies_; }
    // Signs out of every site: the cookies and the cache go.
    void forgetSignIns();
    void placeBrowser(const TwipsRect& rect);
    WatchChoice* watchChoice() const { return watchChoice_; }
    QUrl address() const; // of the page shown

  signals:
    void launchClicked();     // Command9
    void quickstartClicked(); // Command10
    // The source of the bank log page shown, fetched again by the browser with its own session.
    void bankLogPageFetched(const QString& source);
    void bankLogPageFailed(const QString& message);
    // A page has loaded; `bankLog` when it is a bank log page, which the watch's choice is offered for.
    void bankLogPageShown(bool bankLog);

  private:
    void onLoadFinished(bool ok);
    void fetchBankLogPage();

    QLineEdit* addressBox_;
    QPushButton* addPage_;
    WatchChoice* watchChoice_;
    TwipsRect browserPlace_{};
    QWebEngineView* browserView_;
    QWebEngineProfile* profile_;
    ProfileCookies* cookies_;
};

} // namespace coffer
