// SPDX-License-Identifier: MIT
#include "ui/browser_panel.h"

#include "ui/base/twips.h"
#include "ui/base/window_fonts.h"
#include "ui/ledger/profile_cookies.h"
#include "ui/watch_choice.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace coffer {
namespace {

constexpr qsizetype kMaxPageChars = 16 * 1024 * 1024;
constexpr TwipsRect kWatchChoice{60, 600, 6000, 300}; // under the address box, in view at any width
constexpr float kWatchRowHeight = 330;                // the browser moves down by it while the watch's choice shows

// Fetches the page's own address again from inside the page, so that the browser's session (a signed-in
// armory account) applies, and gives the source text, or null when it cannot be had.
constexpr const char* kFetchOwnSource = R"(
(function() {
    try {
        var request = new XMLHttpRequest();
        request.open('GET', document.location.href, false);
        request.send();
        return (request.status === 200 || request.status === 0) ? request.responseText : null;
    } catch (e) {
        return null;
    }
})())";

// The browser's own profile: a named one keeps what it holds on disk, in `folder`.
QWebEngineProfile* BrowserProfile(const std::filesystem::path& folder, QObject* parent) {
    if (folder.empty())
        return new QWebEngineProfile(parent);
    auto* profile = new QWebEngineProfile(QStringLiteral("armory"), parent);
    profile->setPersistentStoragePath(QString::fromStdString(folder.string()));
    profile->setCachePath(QString::fromStdString((folder / "cache").string()));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // Armories sign in with session cookies, which would otherwise end with the program.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    return profile;
}

} // namespace

BrowserPanel::BrowserPanel(const QString& armoryBase, const std::filesystem::path& profileFolder, QWidget* parent)
    : QGroupBox(QStringLiteral("Browser"), parent) {
    setObjectName(QStringLiteral("Frame1"));
    // The address box ends just before "Go" instead of under it.
    addressBox_ = Placed(new QLineEdit(armoryBase, this), "Text2", {60, 300, 4635, 285});
    auto* go = Placed(new QPushButton(QStringLiteral("Go"), this), "Command1", {4740, 300, 1095, 255});
    auto* launch = Placed(new QPushButton(QStringLiteral("Launch"), this), "Command9", {5880, 300, 1095, 255});
    auto* quickstart = Placed(new QPushButton(QStringLiteral("Quickstart"), this), "Command10", {7020, 300, 1095, 255});
    addPage_ = Placed(new QPushButton(QStringLiteral("Add this page to the bank log"), this), "cmdAddPage",
                      {8220, 300, 3135, 255});
    addPage_->hide();
    watchChoice_ = Placed(new WatchChoice(this), "fraWatchChoice", kWatchChoice);
    watchChoice_->hide();
    browserView_ = new QWebEngineView(this);
    browserView_->setObjectName(QStringLiteral("WebBrowser1"));
    // Made after the view, so that the view and its page go first: a profile outlives its pages.
    profile_ = BrowserProfile(profileFolder, this);
    cookies_ = new ProfileCookies(profile_->cookieStore(), this); // before any page loads them
    browserView_->setPage(new QWebEnginePage(profile_, browserView_));
    BoldCaption(this);

    connect(go, &QPushButton::clicked, this, [this] { navigate(QUrl::fromUserInput(addressBox_->text())); });
    connect(addressBox_, &QLineEdit::returnPressed, go, &QPushButton::click);
    connect(launch, &QPushButton::clicked, this, &BrowserPanel::launchClicked);
    connect(quickstart, &QPushButton::clicked, this, &BrowserPanel::quickstartClicked);
    connect(addPage_, &QPushButton::clicked, this, &BrowserPanel::fetchBankLogPage);
    connect(browserView_, &QWebEngineView::loadStarted, this, [this] {
        addPage_->hide();
        watchChoice_->hide();
        placeBrowser(browserPlace_);
    });
    connect(browserView_, &QWebEngineView::loadFinished, this, &BrowserPanel::onLoadFinished);
}

void BrowserPanel::navigate(const QUrl& url) {
    addressBox_->setText(url.toString());
    browserView_->load(url);
}

void BrowserPanel::forgetSignIns() {
    profile_->cookieStore()->deleteAllCookies();
    profile_->clearHttpCache();
}

void BrowserPanel::placeBrowser(const TwipsRect& rect) {
    browserPlace_ = rect;
    const float shift = watchChoice_->isVisibleTo(this) ? kWatchRowHeight : 0;
    PlaceTwips(browserView_, {rect.left, rect.top + shift, rect.width, std::max(rect.height - shift, 0.0F)});
}

QUrl BrowserPanel::address() const {
    return browserView_->url();
}

void BrowserPanel::onLoadFinished(bool ok) {
    const bool bankLog = ok && browserView_->url().toString().contains(u"guild-bank-log.xml", Qt::CaseInsensitive);
    addPage_->setVisible(bankLog);
    watchChoice_->setVisible(bankLog);
    placeBrowser(browserPlace_);
    emit bankLogPageShown(bankLog);
}

void BrowserPanel::fetchBankLogPage() {
    addPage_->setEnabled(false);
    browserView_->page()->runJavaScript(QString::fromLatin1(kFetchOwnSource), [this](const QVariant& result) {
        addPage_->setEnabled(true);
        const QString source = result.toString();
        if (result.isNull() || source.isEmpty())
            emit bankLogPageFailed(QStringLiteral("The bank log page could not be downloaded."));
        else if (source.size() > kMaxPageChars)
            emit bankLogPageFailed(QStringLiteral("The bank log page is larger than 16 MiB and was not added."));
        else
            emit bankLogPageFetched(source);
    });
}

} // namespace coffer
