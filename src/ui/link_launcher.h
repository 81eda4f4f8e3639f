// SPDX-License-Identifier: MIT
#pragma once
// frmWebsite, the web link launcher: opens the maker's web site ("Website") or the armory's home page
// ("Armory") in the desktop's browser. After it opens something it stays loaded for one second, and
// a request within that second opens nothing (a double click opens the site once); its key then
// stays set until the next request.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

namespace coffer {

// The address for a link key, with "http://" put in front unless it already holds "http://" or
// "https://" (letter case ignored); nullopt for an unknown key.
std::optional<QString> LauncherAddress(const QString& linkKey, const QString& website, const QString& armoryBase);

class LinkLauncher : public QObject {
    Q_OBJECT
  public:
    using Opener = std::function<void(const QUrl&)>;

    // `open` hands an address to the desktop (QDesktopServices::openUrl by default).
    LinkLauncher(QString website, QString armoryBase, Opener open = {}, QObject* parent = nullptr);

    // Sets gLinkKey and loads the launcher.
    void request(const QString& linkKey);

    const QString& linkKey() const { return linkKey_; } // gLinkKey; "" when idle
    bool isLoaded() const { return unloadTimer_.isActive(); }

  private:
    void load();

    QString website_;
    QString armoryBase_;
    Opener open_;
    QString linkKey_;
    QTimer unloadTimer_; // Timer1
};

} // namespace coffer
