// SPDX-License-Identifier: MIT
#pragma once
// MainWindow, the main window: the navigation frame "View" and five content panels of which one is shown
// at a time (Browser, bank log text, Bank Stats, Report, Guild Ledger), the File, View, Analyze, Ledger
// and About menus, and the window's own work: importing a log, refreshing the report, and the links from
// the lists and the report into the Browser panel. It owns the statistics tables, the activity that every control
// follows, and the controllers it hands the rest to: the analysis run, the guild ledger, the exports, the
// watch of the bank log page and the ledger's alerts.

#include "analysis/analysis_run.h"
#include "shell/product_config.h"
#include "ui/base/activity.h"
#include "ui/charts/chart_output.h"
#include "ui/stats/analysis_job.h"
#include "ui/stats/run_controller.h"

#include <QDate>
#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QPushButton;
class QSettings;

namespace coffer {

class AlertController;
class BankLogPanel;
class BrowserPanel;
class ChartPanel;
class ExportController;
class LedgerChangeWatch;
class LedgerAttention;
class LedgerController;
class LedgerPanel;
class LedgerWatch;
class LinkLauncher;
class ReportPanel;
class StatsPanel;
class StatsTableModel;
class UserDialogs;
struct AlertEntries;
class WatchController;

struct MainWindowSettings {
    ProductConfig product;
    std::string makerWebsite;            // the "Visit" menu item shows when product.website equals it
    std::filesystem::path programFolder; // holds html/help.html
    std::filesystem::path workFolder;    // report.html and the run's temporary copy of the log
    std::string armoryBase = kArmoryBase;
    std::string itemDatabaseBase = kItemDatabaseBase;
    // Keeps the user's choices across starts (limits, lookup box, chart, folders, window geometry);
    // null: nothing is kept.
    QSettings* store = nullptr;
    std::filesystem::path defaultLedger = {};  // the guild ledger in use until the user chooses another
    std::filesystem::path browserProfile = {}; // the browser's sign-ins and cache; empty: kept in memory
    std::filesystem::path watchLines = {};     // the watch's last lines across starts; empty: not kept
    std::filesystem::path alertWebhook = {};   // the address the alerts are posted to; empty: not kept
};

// Finds an address for a name and hands it to `done` later, on the window's thread.
using AddressResolver = std::function<void(const std::string& name, std::function<void(std::string address)> done)>;

struct MainWindowServices {
    UserDialogs* dialogs = nullptr;
    LinkLauncher* launcher = nullptr;
    // The item lookup for runs with "Look up item values" ticked; empty when there is none.
    AnalysisJob::PriceSourceFactory priceSource;
    // The page of an item for the item double-click; empty: the item database's search page.
    AddressResolver itemPageAddress;
    // Where "Print Chart" prints; null when there is no printer.
    std::function<std::unique_ptr<QPrinter>()> defaultPrinter = DefaultPrinter;
    // Shows a notice on the desktop (its first line, and the rest); empty: the desktop's notification service.
    std::function<void(const QString& summary, const QString& body)> desktopNotice = {};
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(MainWindowSettings settings, MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens maximised; restored, the window has its design size, centred on the screen.
    void showAtStart();
    // Imports the files one after another, each as "Import File" would (a file dropped on the window, or
    // named on the command line).
    void importFiles(const QStringList& files);

    StatsTableModel* memberModel() const { return memberModel_; }
    StatsTableModel* itemModel() const { return itemModel_; }
    QWidget* chartsPage() const;
    std::filesystem::path reportPath() const;
    LedgerWatch& watch() const;                                    // for the tests' hook on its interval
    const AnalysisJob& analysisJob() const { return run_->job(); } // for the tests' wait on a run's thread
    LedgerChangeWatch& ledgerChanges() const;                      // for the tests' hook on its sleep

  signals:
    // A report was written and is shown: the charts draw their default chart.
    void reportWritten();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildMenus();
    void buildCharts();
    QWidget* buildNavigation(QWidget* parent);
    void hideAllPanels();
    void showPanel(QWidget* panel);
    void showBrowser();   // Browser
    void showBankLog();   // Bank Log XML
    void showBankStats(); // Bank Stats
    void showReport();    // Report, then the layout again
    void visitWebsite();
    void forgetSignIns();
    void showLedgerPanel();
    void arrangePanels();
    void showQuickstart();
    // Every button and menu item that starts work follows the activity: nothing starts while other
    // work goes on.
    void enableControls();

    void restoreSettings();
    QString keptLedger() const; // the ledger in use when the window last closed
    void keepSettings() const;
    bool restoreWindowGeometry();

    void importLog();
    // Appends one file to the text (the import's rules); false when it was not imported.
    bool importFile(const QString& name);
    void analyzeNow();
    // The run's selection and its period as the report states it; false (after telling why) when the
    // last day is before the first.
    bool choosePeriod(const std::optional<std::pair<QDate, QDate>>& days, EntrySelection& selection, RunPeriod& period);
    void analyzeLedger();
    void refreshReport();
    // The period of the ledger panel's choice, as the entries list takes it.
    std::optional<TimeRange> ledgerPeriod() const;
    // "Show this member's entries" and "Show this item's entries": the name as the list shows it.
    void showEntriesOf(bool member, const QString& name);
    // "Show these entries" of an alert: its member's, of its day or week.
    void showAlertEntries(const AlertEntries& entries);

    void showWrittenReport();
    // The report's settings for the period, or none after telling why in `error`.
    std::optional<ReportSettings> reportSettings(const RunPeriod& period, QString* error) const;
    RunController::Report runReport(const RunPeriod& period) const; // of a run of the period

    void openMemberPage(int row);
    void openItemPage(int row);
    void openItemPageNamed(const std::string& name);
    void showInBrowser(const QUrl& url);
    void inform(const QString& text, bool warning = false); // with the warning icon when something failed
    void showStatus(const QString& text); // what an export or a save wrote, why the list was not sorted

    MainWindowSettings settings_;
    MainWindowServices services_;
    GuildStats stats_;
    StatsTableModel* memberModel_;
    StatsTableModel* itemModel_;
    ActivityState activity_;
    QString importFolder_;           // where the import's dialog starts; empty: its own choice
    bool closeWhenExported_ = false; // the user chose to wait for an export as the window closed
    std::unique_ptr<RunController> run_;
    std::unique_ptr<LedgerController> ledger_;
    std::unique_ptr<LedgerChangeWatch> ledgerChanges_; // what other programs add to the ledger
    std::unique_ptr<ExportController> exports_;
    std::unique_ptr<LedgerAttention> attention_; // "Guild Ledger (!)"
    std::unique_ptr<WatchController> watcher_;   // goes before the browser's profile, which the watch's page uses
    std::unique_ptr<AlertController> alerts_;

    QWidget* navigationFrame_ = nullptr;
    BrowserPanel* browserPanel_ = nullptr;
    BankLogPanel* bankLogPanel_ = nullptr;
    StatsPanel* statsPanel_ = nullptr;
    ReportPanel* reportPanel_ = nullptr;
    LedgerPanel* ledgerPanel_ = nullptr;
    ChartPanel* charts_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* exportMembersAction_ = nullptr;
    QAction* exportItemsAction_ = nullptr;
    QAction* ledgerRefreshAction_ = nullptr;                     // its shortcut works while the ledger panel shows
    std::vector<std::pair<QAction*, QPushButton*>> buttonItems_; // menu items that click a panel's button
};

} // namespace coffer
