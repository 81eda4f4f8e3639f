// SPDX-License-Identifier: MIT
#pragma once
// Where the watch gets the bank log page from: a page of the watched site, opened once and then fetched
// from again and again. Each call only starts the work; its end comes later as a signal, never from
// within the call.

#include <QObject>
#include <QString>

namespace coffer {

class PageFetcher : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Opens the page at `address` in place of any before; `opened` or `notOpened` tells how it went.
    virtual void open(const QString& address) = 0;
    // Fetches the address from the page opened; `arrived` or `failed` tells the end.
    virtual void fetch() = 0;
    // Closes the page: a fetch in flight is abandoned and tells nothing any more.
    virtual void drop() = 0;

  signals:
    void opened();
    void notOpened(const QString& reason);
    void arrived(const QString& page);
    // Why the fetch brought no page: "HTTP " and the status when the site answered with another than 200.
    void failed(const QString& reason);
};

} // namespace coffer
