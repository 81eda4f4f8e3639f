// SPDX-License-Identifier: MIT
#include "ui/ledger/profile_cookies.h"

#include <QDateTime>
#include <QWebEngineCookieStore>

#include <algorithm>

namespace coffer {
namespace {

Cookie FromNetworkCookie(const QNetworkCookie& cookie) {
    const QString domain = cookie.domain();
    const bool domainWide = domain.startsWith(u'.');
    return {.domain = (domainWide ? domain.mid(1) : domain).toLower().toStdString(),
            .includeSubdomains = domainWide,
            .path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString(),
            .secure = cookie.isSecure(),
            .expiry = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch(),
            .name = cookie.name().toStdString(),
            .value = cookie.value().toStdString(),
            .httpOnly = cookie.isHttpOnly()};
}

} // namespace

ProfileCookies::ProfileCookies(QWebEngineCookieStore* store, QObject* parent) : QObject(parent) {
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& cookie) {
        std::erase_if(cookies_, [&cookie](const QNetworkCookie& kept) { return kept.hasSameIdentifier(cookie); });
        cookies_.push_back(cookie);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, [this](const QNetworkCookie& cookie) {
        std::erase_if(cookies_, [&cookie](const QNetworkCookie& kept) { return kept.hasSameIdentifier(cookie); });
    });
    store->loadAllCookies();
}

std::vector<Cookie> ProfileCookies::ofHost(const std::string& host, std::int64_t now) const {
    std::vector<Cookie> cookies;
    for (const QNetworkCookie& kept : cookies_) {
        Cookie cookie = FromNetworkCookie(kept);
        // A cookie file holds no cookie without a name, nor a value across lines.
        if (!cookie.name.empty() && cookie.value.find_first_of("\r\n") == std::string::npos &&
            CookieMatches(cookie, true, host, cookie.path, now))
            cookies.push_back(std::move(cookie));
    }
    return cookies;
}

} // namespace coffer
