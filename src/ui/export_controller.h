// SPDX-License-Identifier: MIT
#pragma once
// What the window writes out on the user's request: the member and item lists and the entries list as
// CSV, the report saved under a name of the user's, and the file of any other export. Each file is asked
// for in its folder, refused when it is the ledger in use or one of its files, and an existing one is
// replaced only with the user's leave.

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace coffer {

class ActivityState;
class EntryListModel;
class StatsTableModel;
class UserDialogs;

class ExportController : public QObject {
    Q_OBJECT
  public:
    // Where the exports ask and tell: the window's dialogs, its name, the ledger in use.
    struct Window {
        UserDialogs& dialogs;
        QWidget& parent; // of the dialogs
        QString programName;
        std::function<std::string()> ledgerPath;
        std::function<void(const QString& text, bool warning)> inform;
        std::function<void(const QString& text)> tellWritten; // "Wrote … to FILE.", in the status bar
    };

    ExportController(Window window, const ActivityState& activity, QObject* parent = nullptr);

    // The whole list in its current order, whatever its search hides; `title` is the dialog's, `rows`
    // what the list's rows are ("member", "item").
    void exportList(const StatsTableModel& list, const QString& title, const QString& rows);
    // The entries list's rows as the list has them.
    void exportEntries(EntryListModel& list);
    // A copy of the report at `report`, under a name the user chooses.
    void saveReportAs(const std::filesystem::path& report);
    // The file an export writes, asked in the export folder (which then is its folder); empty when the
    // user cancels, or refuses to replace a file, or the name is the ledger's.
    QString chooseExportFile(const QString& filter, const QString& title);
    // Says that `file` was written, holding `what`: "Wrote 12 entries to FILE."
    void tellWritten(const QString& what, const QString& file) const;
    // "NAME is the ledger itself" or "… is a file of the ledger" for the ledger in use; empty otherwise.
    QString outputRefusal(const QString& name) const;
    // Asked as the window closes: true when an export of the entries is being written and the user chooses to
    // wait for it (`entriesWritten` tells when none is left); false when none is, or the user chooses to stop it.
    bool waitAtClose();

    // The folders the dialogs start in, kept across starts; empty: the dialog's own choice.
    QString exportFolder, saveAsFolder;

  signals:
    void entriesWritten(); // the last export of the entries being written has ended

  private:
    // True, after saying why, when `name` is the ledger in use or one of its files.
    bool refusesOutput(const QString& name);
    // True when nothing is at `name`, or the user agrees to replace it.
    bool mayReplace(const QString& name);

    Window window_;
    const ActivityState& activity_;
    int entriesWriting_ = 0; // exports of the entries under way
};

} // namespace coffer
