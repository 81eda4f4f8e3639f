// SPDX-License-Identifier: MIT
#include "ui/report_page.h"

#include "ui/site_links.h"

namespace coffer {

ReportPage::ReportPage(QStringList siteLabels, QObject* parent)
    : QWebEnginePage(parent), siteLabels_(std::move(siteLabels)) {}

bool ReportPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    // The window's own loads (the report file) always go through, wherever the file lies: a folder
    // named like one of the sites must not keep the report from showing.
    if (type == NavigationTypeTyped || type == NavigationTypeReload)
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    if (ContainsSiteLabel(url.toString(), siteLabels_)) {
        emit siteLinkFollowed(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

} // namespace coffer
