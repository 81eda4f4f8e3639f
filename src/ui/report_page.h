// SPDX-License-Identifier: MIT
#pragma once
// The page of the report view (WebBrowser2). Links to the armory or the item database site do not
// open inside the report: they are handed on, to be shown in the Browser panel.

#include <QStringList>
#include <QWebEnginePage>

namespace coffer {

class ReportPage : public QWebEnginePage {
    Q_OBJECT
  public:
    ReportPage(QStringList siteLabels, QObject* parent = nullptr);

  signals:
    void siteLinkFollowed(const QUrl& url);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

  private:
    QStringList siteLabels_;
};

} // namespace coffer
