// SPDX-License-Identifier: MIT
#pragma once
// Frame1, the Browser panel: an address box with "Go", "Launch" and "Quickstart", and the built-in
// browser WebBrowser1. On a bank log page it offers to add the page's source to the bank log text.
// The browser keeps its sign-ins (session cookies too) and its cache in a folder of its own, so that
// an officer signed in to the armory stays signed in across starts.

#include <QGroupBox>

#include <filesystem>

class QLineEdit;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;

namespace coffer {

struct TwipsRect;

class BrowserPanel : public QGroupBox {
    Q_OBJECT
  public:
    // `profileFolder` keeps the sign-ins and the cache; empty: they last as long as the panel.
    BrowserPanel(const QString& armoryBase, const std::filesystem::path& profileFolder, QWidget* parent = nullptr);

    void navigate(const QUrl& url); // WebBrowser1 navigates
    QWebEngineProfile* profile() const { return profile_; }
    // Signs out of every site: the cookies and the cache go.
    void forgetSignIns();
    void placeBrowser(const TwipsRect& rect);

  signals:
    void launchClicked();     // Command9
    void quickstartClicked(); // Command10
    // The source of the bank log page shown, fetched again by the browser with its own session.
    void bankLogPageFetched(const QString& source);
    void bankLogPageFailed(const QString& message);

  private:
    void onLoadFinished(bool ok);
    void fetchBankLogPage();

    QLineEdit* addressBox_;
    QPushButton* addPage_;
    QWebEngineView* browserView_;
    QWebEngineProfile* profile_;
};

} // namespace coffer
