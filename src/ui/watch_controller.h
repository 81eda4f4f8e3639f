// SPDX-License-Identifier: MIT
#pragma once
// The watch of the bank log page as the window shows it: its choice beside "Add this page to the bank
// log", its box in the Guild Ledger panel, "Guild Ledger (!)" after failures in a row, the watch kept
// across starts, and the export of the armory sign-in as a cookie file for coffer-cli.

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QSettings;
class QWidget;

namespace coffer {

class ActivityState;
class BrowserPanel;
class ExportController;
class LedgerAttention;
class LedgerController;
class LedgerPanel;
class LedgerWatch;
class UserDialogs;
class WatchBox;

class WatchController : public QObject {
    Q_OBJECT
  public:
    // What the watch works with: the browser whose sign-in and page it takes, the ledger it adds to and
    // its panel, the mark of the navigation's "Guild Ledger" button, and the window's dialogs and settings.
    struct Window {
        BrowserPanel& browser;
        LedgerController& ledger;
        LedgerPanel& ledgerPanel;
        LedgerAttention& attention;
        ExportController& exports;
        UserDialogs& dialogs;
        QWidget& parent; // of the dialogs
        QString programName;
        QSettings* store;                // null: nothing is kept
        std::filesystem::path linesFile; // the watch's last lines across starts; empty: not kept
        std::function<void(const QString& text, bool warning)> inform;
    };

    WatchController(Window window, ActivityState& activity, QObject* parent = nullptr);
    // Stops the watch first: its page belongs to the browser's profile.
    ~WatchController() override;

    LedgerWatch& watch() const { return *watch_; }
    // Starts the watch again when it was on as the window last closed.
    void resume();
    // Keeps the interval shown, and the page watched while there is one.
    void keep() const;
    // Writes the cookies of the watched page's site, or of the page shown when nothing is watched.
    void exportSignIn();

  private:
    void show();
    std::optional<int> keptMinutes() const; // the interval the settings hold, when it is one the watch takes

    Window window_;
    std::unique_ptr<LedgerWatch> watch_;
    WatchBox* box_;
    bool stopping_ = false; // the watch was stopping at the last change
};

} // namespace coffer
