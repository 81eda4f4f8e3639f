// SPDX-License-Identifier: MIT
#pragma once
// A real MainWindow for tests and benchmarks: its folders in a temporary directory, its dialogs scripted,
// its link launcher recording instead of opening, and helpers that drive it as a user would.

#include "tests/support/run_until.h"
#include "tests/ui/support/scripted_dialogs.h"
#include "ui/link_launcher.h"
#include "ui/main_window.h"

#include <QEvent>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QAbstractItemModel;

namespace coffer::test {

// Calls `seen` for each event of `type` that `watched` receives, before it handles it.
class EventWatch : public QObject {
  public:
    EventWatch(QObject* watched, QEvent::Type type, std::function<void()> seen) : type_(type), seen_(std::move(seen)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_)
            seen_();
        return false;
    }

  private:
    QEvent::Type type_;
    std::function<void()> seen_;
};

// The rows a list shows, in its order: the given columns (none: all) joined by tabs.
QStringList Shown(const QAbstractItemModel* model, QList<int> columns = {});
QByteArray ReadAll(const QString& path); // empty when it cannot be read
// A page of the guild Iron Lanterns with a deposit of 100 copper of each player at each time (ms).
std::string DepositsPage(const std::vector<std::pair<std::string, qint64>>& deposits);
// A page of two deposits of `player` in the guild Iron Lanterns, the newest at `newest` (ms), a minute apart.
std::string DepositsPage(const std::string& player, qint64 newest);

class MainWindowHarness {
  public:
    // The sites are local names that fail at once, so that nothing waits on the network; the
    // program folder (for html/help.html) is the temporary folder unless given.
    static constexpr const char* kArmory = "http://armory.localhost";
    static constexpr const char* kItemDatabase = "http://www.lorehold.localhost";

    // `store` keeps the window's settings; none: nothing is kept. `browserFolder` keeps the browser's
    // sign-ins and cache; none: they are kept in memory.
    explicit MainWindowHarness(MainWindowServices extra = {}, const QString& programFolder = {},
                               QSettings* store = nullptr, const QString& browserFolder = {});

    MainWindow& window() { return *window_; }
    // Closes the window as the user would and makes a new one over the same folders and settings, once
    // `closed` holds when given (what the old window leaves behind it as it goes, as the browser profile
    // writes its cookies, is not told); false when it never held.
    bool restart(const std::function<bool()>& closed = {});
    ScriptedDialogs& dialogs() { return dialogs_; }
    const QList<QUrl>& opened() const { return opened_; } // addresses handed to the desktop
    QString folder() const { return dir_.path(); }
    QString writeFile(const QString& name, const QByteArray& content) const; // in the folder; its path

    template <typename T = QWidget> T* find(const char* name) const {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const; // a button, or a menu item
    QString visiblePanel() const;       // object name of the one content panel shown

    void setLog(const std::string& text) const; // replaces what Text1 holds
    QString status() const;                     // the status line's text
    QString reportPath() const { return dir_.filePath(QStringLiteral("report.html")); }

    // Imports the file through "Import File" and waits until the import is over.
    bool importFile(const QString& path);
    // Clicks "Analyze now" and waits until the run is over (true when it ended in time).
    bool analyze(int timeoutMs = 60000);
    bool analyzeSampleLog(); // imports and analyses examples/sample-banklog.xml
    // Waits until "Analyze ledger" is back: an add, a reading or a run is over.
    bool ledgerIdle() const;
    // Puts `log` in Text1, clicks "Add to ledger" and waits until the add is over.
    bool addToLedger(const std::string& log) const;
    // Answers the dialog of cmdLedgerNew, cmdLedgerOpen or cmdLedgerConnect with `ledger`, clicks the
    // button and waits until the ledger is read.
    bool chooseLedger(const char* button, const QString& ledger);

  private:
    QTemporaryDir dir_;
    ScriptedDialogs dialogs_;
    QList<QUrl> opened_;
    LinkLauncher launcher_;
    MainWindowSettings settings_;
    MainWindowServices services_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace coffer::test
