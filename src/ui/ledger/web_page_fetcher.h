// SPDX-License-Identifier: MIT
#pragma once
// The watch's pages in the browser: a hidden page of the browser's profile (so the officer's sign-in
// applies while the visible browser stays where it is), from which a request of the page's own fetches
// the watched address with the limits of every download.

#include "ui/ledger/page_fetcher.h"

#include <QElapsedTimer>
#include <QTimer>

class QWebEnginePage;
class QWebEngineProfile;

namespace coffer {

class WebPageFetcher : public PageFetcher {
    Q_OBJECT
  public:
    explicit WebPageFetcher(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~WebPageFetcher() override;

    void open(const QString& address) override;
    void fetch() override;
    void drop() override;

  private:
    void poll();

    QWebEngineProfile* profile_;
    QWebEnginePage* page_ = nullptr; // of the watched site's origin, where the request runs
    QString address_;
    QTimer pollTimer_; // looks again whether the request has ended
    QElapsedTimer fetchClock_;
    bool fetching_ = false;
};

} // namespace coffer
