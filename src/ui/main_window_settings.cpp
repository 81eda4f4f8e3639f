// SPDX-License-Identifier: MIT
// MainWindow's choices kept across starts: the section limits, the lookup box, the chart last chosen, the
// folders the file dialogs start in, the guild ledger in use and the window's geometry. A value that
// cannot be read (an unknown word, a limit that is not a number, a folder that is gone) leaves the
// default in place.

#include "ui/main_window.h"

#include "report/html_report.h"
#include "ui/charts/chart_model.h"
#include "ui/charts/chart_panel.h"
#include "ui/export_controller.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/log/bank_log_panel.h"
#include "ui/report_panel.h"
#include "ui/watch_controller.h"

#include <QFileInfo>
#include <QSettings>

namespace coffer {
namespace {

constexpr auto kPlayers = "report/playersPerSection";
constexpr auto kItems = "report/itemsPerSection";
constexpr auto kLookUp = "analysis/lookUpItemValues";
constexpr auto kChart = "charts/chartType";
constexpr auto kImportFolder = "folders/import";
constexpr auto kSaveAsFolder = "folders/saveAs";
constexpr auto kExportFolder = "folders/export";
constexpr auto kSaveChartFolder = "folders/saveChart";
constexpr auto kLedgerFile = "ledger/file"; // empty: the default ledger
constexpr auto kGeometry = "window/geometry";
constexpr auto kState = "window/state";

QString Limit(const QSettings& store, const char* key, const QString& fallback) {
    const QString text = store.value(QLatin1String(key)).toString();
    return ParseSectionLimit(text.toStdString()).fault == SectionLimit::Fault::None ? text : fallback;
}

QString Folder(const QSettings& store, const char* key) {
    const QString folder = store.value(QLatin1String(key)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

} // namespace

void MainWindow::restoreSettings() {
    if (settings_.store == nullptr)
        return;
    const QSettings& store = *settings_.store;
    reportPanel_->setSectionLimits(Limit(store, kPlayers, reportPanel_->playersPerSection()),
                                   Limit(store, kItems, reportPanel_->itemsPerSection()));
    const QString lookUp = store.value(QLatin1String(kLookUp)).toString();
    if (lookUp == u"true" || lookUp == u"false")
        bankLogPanel_->setLookUpItems(lookUp == u"true");
    bool isNumber = false;
    const int chart = store.value(QLatin1String(kChart)).toInt(&isNumber);
    if (isNumber && chart >= 1 && chart < kFirstWeeklyEntry + static_cast<int>(kWeeklyChartEntries.size()))
        charts_->showChosenChart(chart);
    importFolder_ = Folder(store, kImportFolder);
    exports_->saveAsFolder = Folder(store, kSaveAsFolder);
    exports_->exportFolder = Folder(store, kExportFolder);
    charts_->setSaveFolder(Folder(store, kSaveChartFolder));
}

QString MainWindow::keptLedger() const {
    return settings_.store == nullptr ? QString() : settings_.store->value(QLatin1String(kLedgerFile)).toString();
}

bool MainWindow::restoreWindowGeometry() {
    if (settings_.store == nullptr || !restoreGeometry(settings_.store->value(QLatin1String(kGeometry)).toByteArray()))
        return false;
    restoreState(settings_.store->value(QLatin1String(kState)).toByteArray());
    return true;
}

void MainWindow::keepSettings() const {
    if (settings_.store == nullptr)
        return;
    QSettings& store = *settings_.store;
    store.setValue(QLatin1String(kPlayers), reportPanel_->playersPerSection());
    store.setValue(QLatin1String(kItems), reportPanel_->itemsPerSection());
    store.setValue(QLatin1String(kLookUp), bankLogPanel_->lookUpItems());
    if (charts_->chosenChart() != 0)
        store.setValue(QLatin1String(kChart), charts_->chosenChart());
    store.setValue(QLatin1String(kImportFolder), importFolder_);
    store.setValue(QLatin1String(kSaveAsFolder), exports_->saveAsFolder);
    store.setValue(QLatin1String(kExportFolder), exports_->exportFolder);
    store.setValue(QLatin1String(kSaveChartFolder), charts_->saveFolder());
    store.setValue(QLatin1String(kLedgerFile), ledger_->file());
    watcher_->keep();
    store.setValue(QLatin1String(kGeometry), saveGeometry());
    store.setValue(QLatin1String(kState), saveState());
    store.sync();
}

} // namespace coffer
