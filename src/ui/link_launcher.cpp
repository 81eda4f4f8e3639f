// SPDX-License-Identifier: MIT
#include "ui/link_launcher.h"

#include <QDesktopServices>

namespace coffer {
namespace {

constexpr int kLoadedMs = 1000;

} // namespace

std::optional<QString> LauncherAddress(const QString& linkKey, const QString& website, const QString& armoryBase) {
    QString address;
    if (linkKey == u"Website")
        address = website;
    else if (linkKey == u"Armory")
        address = armoryBase;
    else
        return std::nullopt;
    if (!address.contains(u"https://", Qt::CaseInsensitive) && !address.contains(u"http://", Qt::CaseInsensitive))
        address.prepend(u"http://");
    return address;
}

LinkLauncher::LinkLauncher(QString website, QString armoryBase, Opener open, QObject* parent)
    : QObject(parent), website_(std::move(website)), armoryBase_(std::move(armoryBase)), open_(std::move(open)) {
    if (!open_)
        open_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    unloadTimer_.setSingleShot(true);
    unloadTimer_.setInterval(kLoadedMs);
}

void LinkLauncher::request(const QString& linkKey) {
    linkKey_ = linkKey;
    load();
}

void LinkLauncher::load() {
    if (isLoaded())
        return;
    unloadTimer_.start();
    const std::optional<QString> address = LauncherAddress(linkKey_, website_, armoryBase_);
    if (!address)
        return;
    open_(QUrl(*address));
    linkKey_.clear();
}

} // namespace coffer
