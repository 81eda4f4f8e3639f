#include "ui/browser_panel.h"

#include "ui/twips.h"
#include "ui/window_fonts.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace coffer {
namespace {

constexpr qsizetype kMaxPageChars = 16 * 1024 * 1024;

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

QPushButton* MakeButton(const QString& name, const QString& caption, const TwipsRect& rect, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    PlaceTwips(button, rect);
    return button;
}

} // namespace

BrowserPanel::BrowserPanel(const QString& armoryBase, QWidget* parent)
    : QGroupBox(QStringLiteral("Browser"), parent) {
    setObjectName(QStringLiteral("Frame1"));
    text2_ = new QLineEdit(armoryBase, this);
    text2_->setObjectName(QStringLiteral("Text2"));
    PlaceTwips(text2_, {60, 300, 4695, 285});
    QPushButton* go = MakeButton(QStringLiteral("Command1"), QStringLiteral("Go"), {4740, 300, 1095, 255}, this);
    QPushButton* launch =
        MakeButton(QStringLiteral("Command9"), QStringLiteral("Launch"), {5880, 300, 1095, 255}, this);
    QPushButton* quickstart =
        MakeButton(QStringLiteral("Command10"), QStringLiteral("Quickstart"), {7020, 300, 1095, 255}, this);
    addPage_ = MakeButton(QStringLiteral("cmdAddPage"), QStringLiteral("Add this page to the bank log"),
                          {8220, 300, 3135, 255}, this);
    addPage_->hide();
    webBrowser1_ = new QWebEngineView(this);
    webBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
    BoldCaption(this);

    connect(go, &QPushButton::clicked, this, [this] { navigate(QUrl::fromUserInput(text2_->text())); });
    connect(text2_, &QLineEdit::returnPressed, go, &QPushButton::click);
    connect(launch, &QPushButton::clicked, this, &BrowserPanel::launchClicked);
    connect(quickstart, &QPushButton::clicked, this, &BrowserPanel::quickstartClicked);
    connect(addPage_, &QPushButton::clicked, this, &BrowserPanel::fetchBankLogPage);
    connect(webBrowser1_, &QWebEngineView::loadStarted, addPage_, &QWidget::hide);
    connect(webBrowser1_, &QWebEngineView::loadFinished, this, &BrowserPanel::onLoadFinished);
}

void BrowserPanel::navigate(const QUrl& url) { webBrowser1_->load(url); }

void BrowserPanel::placeBrowser(const TwipsRect& rect) { PlaceTwips(webBrowser1_, rect); }

void BrowserPanel::onLoadFinished(bool ok) {
    const bool bankLog = ok && webBrowser1_->url().toString().contains(u"guild-bank-log.xml", Qt::CaseInsensitive);
    addPage_->setVisible(bankLog);
}

void BrowserPanel::fetchBankLogPage() {
    addPage_->setEnabled(false);
    webBrowser1_->page()->runJavaScript(QString::fromLatin1(kFetchOwnSource), [this](const QVariant& result) {
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
