// SPDX-License-Identifier: MIT
#pragma once
// The browser profile's cookies as they change. The cookie store says when a cookie is added or removed
// but never that all of them are loaded, so they are kept from the start, as it tells them.

#include "shell/cookie_file.h"

#include <QNetworkCookie>
#include <QObject>
#include <vector>

class QWebEngineCookieStore;

namespace coffer {

class ProfileCookies : public QObject {
    Q_OBJECT
  public:
    explicit ProfileCookies(QWebEngineCookieStore* store, QObject* parent = nullptr);

    // The cookies of `host`'s domain (those a request to any of its paths could carry), unexpired at
    // `now` (seconds since 1970 UTC), in the order they came.
    std::vector<Cookie> ofHost(const std::string& host, std::int64_t now) const;

  private:
    std::vector<QNetworkCookie> cookies_;
};

} // namespace coffer
