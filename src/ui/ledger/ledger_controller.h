// SPDX-License-Identifier: MIT
#pragma once
// The window's guild ledger: the ledger in use (a file, or a server's with the password given in this
// run), reading what it holds, adding the bank log's text to it, and going back to the last ledger read
// when one just chosen cannot be read. It owns the ledger's job; an add is the window's foreground work.

#include "ui/base/activity.h"
#include "ui/ledger/ledger_job.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTime>
#include <filesystem>
#include <functional>

class QWidget;

namespace coffer {

class LedgerPanel;
class UserDialogs;

class LedgerController : public QObject {
    Q_OBJECT
  public:
    // Where the ledger shows its work: its panel, the bank log it adds from (its text, and the files it
    // holds as the paste's name), and the window's dialogs.
    struct Window {
        LedgerPanel& panel;
        LogTextReader readLog;
        std::function<std::string()> logFiles;
        UserDialogs& dialogs;
        QWidget& parent; // of the dialogs
        std::filesystem::path defaultLedger;
        std::function<void(const QString& text, bool warning)> inform;
    };

    LedgerController(Window window, ActivityState& activity, QObject* parent = nullptr);

    // Uses the ledger of the last run (empty: the default one), kept in use even when it cannot be read
    // now (a server that is down).
    void start(const QString& file);
    // The ledger in use as the settings keep it, never with a password; empty: the default one.
    const QString& file() const { return file_; }
    // The ledger in use as it is opened: a server ledger's URI with the password given in this run.
    QString path() const;
    // While the ledger is read or added to, none of its actions starts.
    bool busy() const { return action_ != Action::None; }
    // Shows what the ledger `file` holds after an add in the background (of the window's watch, or of
    // another program), when it is still the one in use and nothing reads it meanwhile.
    void showAdded(const std::string& file, const LedgerSummary& summary, const std::vector<HourCount>& hours);
    // Stops the window's add in progress (Cancel, or the window closing), which leaves the ledger as it was
    // unless its commit is under way.
    void cancelAdd();
    // Whether the lists show the ledger in use as read, and what they show of it (none: no file yet).
    bool showsLedger() const { return file_ == readable_ && readAt_.isValid(); }
    const std::optional<LedgerSummary>& shownSummary() const { return shown_; }
    // What the status says of a refresh that failed with `error`: the lists stay as read before.
    QString refreshFailure(const std::string& error) const;

  signals:
    void busyChanged();
    // The watch added to the ledger in use, which the lists and the time line now show.
    void addedInBackground();
    // The window's own add fired these alerts, once it has shown its status.
    void alertsFired(const std::vector<coffer::FiredAlert>& alerts);

  private:
    enum class Action { None, Read, Refresh, Add }; // the ledger's work in progress

    QString folder() const; // where the ledger's file dialogs start
    // Shows what the ledger `file` holds (nothing: not readable) in the lists and the time line.
    void showRead(const std::string& file, const LedgerSummary* summary, const std::vector<HourCount>& hours,
                  const QString& note);
    // Shows the ledger (empty: the default one) and reads what it holds; `create` makes a new ledger.
    void use(const QString& file, bool create = false);
    void begin(Action action);
    void refresh();
    void create();
    void open();
    void connectShared();
    void add();
    void onFinished();

    Window window_;
    ActivityState& activity_;
    Action action_ = Action::None;
    QString file_;
    QHash<QString, QString> uris_; // server ledgers' URIs with the password given in this run
    QString readable_;             // the last ledger read without an error, to go back to
    QTime readAt_;                 // when the lists shown were read
    std::optional<LedgerSummary> shown_;
    LedgerJob job_{this};
};

} // namespace coffer
