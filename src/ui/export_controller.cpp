// SPDX-License-Identifier: MIT
#include "ui/export_controller.h"

#include "ledger/ledger_output_check.h"
#include "report/html_report.h"
#include "report/report_file.h"
#include "report/table_export.h"
#include "shell/file_exists.h"
#include "ui/base/activity.h"
#include "ui/base/engine_text.h"
#include "ui/base/user_dialogs.h"
#include "ui/ledger/entry_list_model.h"
#include "ui/report_copy.h"
#include "ui/stats/stats_table_model.h"

#include <QFileInfo>
#include <QLocale>

namespace coffer {

namespace {

// "1 entry", "399,790 entries".
QString Counted(qint64 count, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(count), count == 1 ? one : many);
}

} // namespace

ExportController::ExportController(Window window, const ActivityState& activity, QObject* parent)
    : QObject(parent), window_(std::move(window)), activity_(activity) {}

void ExportController::exportList(const StatsTableModel& list, const QString& title, const QString& rows) {
    if (!activity_.idle() || list.table().rowCount() == 0)
        return;
    const QString name = chooseExportFile(QStringLiteral("CSV Files (*.csv)"), title);
    if (name.isEmpty())
        return;
    if (const std::string error = WriteFileReplacing(name.toStdString(), TableText(list.table(), TableFormat::Csv));
        !error.empty())
        window_.inform(QStringLiteral("Error: ") + ToQString(error), true);
    else
        tellWritten(Counted(list.table().rowCount(), rows, rows + u's'), name);
}

void ExportController::exportEntries(EntryListModel& list) {
    if (list.ledger().empty())
        return;
    const QString name = chooseExportFile(QStringLiteral("CSV Files (*.csv)"), QStringLiteral("Export Entries as CSV"));
    if (name.isEmpty())
        return;
    ++entriesWriting_;
    // The export writes the rows the list counts, under the same filter.
    list.exportCsv(name.toStdString(), [this, name, rows = list.rowCount()](const QString& error) {
        --entriesWriting_;
        if (!error.isEmpty())
            window_.inform(QStringLiteral("Error: ") + error, true);
        else
            tellWritten(Counted(rows, QStringLiteral("entry"), QStringLiteral("entries")), name);
        if (entriesWriting_ == 0)
            emit entriesWritten();
    });
}

void ExportController::saveReportAs(const std::filesystem::path& report) {
    if (!activity_.idle())
        return;
    if (!FileExists(report.string())) {
        window_.inform(QStringLiteral("There is no report to save yet. Click \"Analyze now\" first."), false);
        return;
    }
    QString name =
        window_.dialogs.saveFileName(&window_.parent, QStringLiteral("HTML Files (*.htm *.html)"), saveAsFolder);
    if (name.isEmpty() || name == u" ")
        return;
    name = WithHtmExtension(name);
    saveAsFolder = QFileInfo(name).absolutePath();
    if (refusesOutput(name) || !mayReplace(name))
        return;
    if (const std::string error = CopyReport(report, name.toStdString()); !error.empty())
        window_.inform(QStringLiteral("Error: ") + ToQString(error), true);
    else
        tellWritten(QStringLiteral("the report"), name);
}

void ExportController::tellWritten(const QString& what, const QString& file) const {
    window_.tellWritten(QStringLiteral("Wrote %1 to %2.").arg(what, file));
}

QString ExportController::chooseExportFile(const QString& filter, const QString& title) {
    const QString name = window_.dialogs.saveFileName(&window_.parent, filter, exportFolder, title);
    if (name.isEmpty())
        return {};
    exportFolder = QFileInfo(name).absolutePath();
    return refusesOutput(name) || !mayReplace(name) ? QString() : name;
}

QString ExportController::outputRefusal(const QString& name) const {
    return ToQString(LedgerOutputRefusal(name.toStdString(), name.toStdString(), window_.ledgerPath()));
}

bool ExportController::waitAtClose() {
    // The export is written to a file of its own, which takes the place of its target once complete.
    return entriesWriting_ > 0 &&
           window_.dialogs.confirm(&window_.parent, window_.programName,
                                   QStringLiteral("The entries are still being exported. Wait for the export to "
                                                  "end, or stop it and leave its file as it was?"),
                                   UserDialogs::Buttons::WaitStop) &&
           entriesWriting_ > 0; // it may have ended while the question was asked
}

bool ExportController::refusesOutput(const QString& name) {
    const QString refusal = outputRefusal(name);
    if (!refusal.isEmpty())
        window_.inform(refusal, true);
    return !refusal.isEmpty();
}

bool ExportController::mayReplace(const QString& name) {
    return !FileExists(name.toStdString()) ||
           window_.dialogs.confirm(&window_.parent, window_.programName,
                                   QStringLiteral("File already exists.  Are you sure you want to overwrite it?"));
}

} // namespace coffer
