// SPDX-License-Identifier: MIT
#pragma once
// Frame1, the Browser panel: an address box with "Go", "Launch" and "Quickstart", and the built-in
// browser WebBrowser1. On a bank log page it offers to add the page's source to the bank log text.

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class QWebEngineView;

namespace coffer {

struct TwipsRect;

class BrowserPanel : public QGroupBox {
    Q_OBJECT
  public:
    BrowserPanel(const QString& armoryBase, QWidget* parent = nullptr);

    void navigate(const QUrl& url); // WebBrowser1 navigates
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
};

} // namespace coffer
