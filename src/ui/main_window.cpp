// SPDX-License-Identifier: MIT
#include "ui/main_window.h"

#include "analysis/lookup/site_addresses.h"
#include "analysis/tables/transaction_totals.h"
#include "analysis/text/web_text.h"
#include "ledger/ledger_open.h"
#include "shell/file_exists.h"
#include "shell/qt/local_days.h"
#include "ui/about_window.h"
#include "ui/alert_controller.h"
#include "ui/base/arrange_panels.h"
#include "ui/base/engine_text.h"
#include "ui/base/twips.h"
#include "ui/base/user_dialogs.h"
#include "ui/base/window_fonts.h"
#include "ui/browser_panel.h"
#include "ui/charts/chart_panel.h"
#include "ui/close_on_signals.h"
#include "ui/desktop_notice.h"
#include "ui/export_controller.h"
#include "ui/ledger/entries_tab.h"
#include "ui/ledger/entry_list_model.h"
#include "ui/ledger/ledger_change_watch.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/ledger/ledger_panel.h"
#include "ui/ledger/ledger_watch.h"
#include "ui/ledger/rules_tab.h"
#include "ui/ledger/timeline_layout.h"
#include "ui/ledger_attention.h"
#include "ui/link_launcher.h"
#include "ui/log/bank_log_panel.h"
#include "ui/program_icon.h"
#include "ui/report_panel.h"
#include "ui/site_links.h"
#include "ui/stats/stats_list_view.h"
#include "ui/stats/stats_panel.h"
#include "ui/stats/stats_table_model.h"
#include "ui/watch_controller.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace coffer {
namespace {

constexpr float kNavigationLeft = 120;
constexpr float kNavigationWidth = 2415;
constexpr float kNavigationHeight = 675;

} // namespace

MainWindow::MainWindow(MainWindowSettings settings, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), settings_(std::move(settings)), services_(std::move(services)),
      memberModel_(new StatsTableModel(stats_.members, this)), itemModel_(new StatsTableModel(stats_.items, this)),
      activity_([this] { enableControls(); }) {
    setObjectName(QStringLiteral("Form1"));
    setFont(WindowFont());
    setWindowTitle(ToQString(settings_.product.programName));
    setWindowIcon(ProgramIcon());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(client);
    navigationFrame_ = buildNavigation(client);

    const QString armory = ToQString(settings_.armoryBase);
    const QString itemDatabase = ToQString(settings_.itemDatabaseBase);
    browserPanel_ = new BrowserPanel(armory, settings_.browserProfile, client);
    bankLogPanel_ = new BankLogPanel(QUrl(armory).host(), client);
    statsPanel_ = new StatsPanel(memberModel_, itemModel_, QUrl(itemDatabase).host(), client);
    reportPanel_ = new ReportPanel({DomainLabel(armory), DomainLabel(itemDatabase)}, client);
    ledgerPanel_ = new LedgerPanel(client);
    const auto tell = [this](const QString& text, bool warning) { inform(text, warning); };
    exports_ = std::make_unique<ExportController>(
        ExportController::Window{.dialogs = *services_.dialogs,
                                 .parent = *this,
                                 .programName = ToQString(settings_.product.programName),
                                 .ledgerPath = [this] { return ledger_->path().toStdString(); },
                                 .inform = tell,
                                 .tellWritten = [this](const QString& text) { showStatus(text); }},
        activity_);
    buildMenus();
    buildCharts();
    run_ = std::make_unique<RunController>(RunController::Window{.stats = stats_,
                                                                 .members = *memberModel_,
                                                                 .items = *itemModel_,
                                                                 .panel = *statsPanel_,
                                                                 .log = *bankLogPanel_,
                                                                 .workFolder = settings_.workFolder,
                                                                 .reportPath = reportPath(),
                                                                 .priceSource = services_.priceSource,
                                                                 .showLists = [this] { showBankStats(); },
                                                                 .showReport = [this] { showWrittenReport(); },
                                                                 .inform = tell},
                                           activity_);
    ledger_ = std::make_unique<LedgerController>(
        LedgerController::Window{
            .panel = *ledgerPanel_,
            .readLog = [this](const std::function<bool()>& going) { return bankLogPanel_->textWhileAnswering(going); },
            .logFiles = [this] { return bankLogPanel_->importedFiles().join(QStringLiteral(", ")).toStdString(); },
            .dialogs = *services_.dialogs,
            .parent = *this,
            .defaultLedger = settings_.defaultLedger,
            .inform = tell},
        activity_, this);
    connect(ledger_.get(), &LedgerController::busyChanged, this, &MainWindow::enableControls);
    EntriesTab* entries = ledgerPanel_->entriesTab();
    // What the ledger holds is listed again once it has been read or added to, by the window or its watch.
    const auto listAgain = [this, entries] {
        entries->setPeriod(ledgerPeriod());
        // A ledger file the first add is yet to create lists nothing, rather than its absence as a failure.
        const std::string ledger = ledger_->path().toStdString();
        entries->setLedger(IsServerLedger(ledger) || FileExists(ledger) ? ledger : std::string());
    };
    connect(ledger_.get(), &LedgerController::busyChanged, this, [this, listAgain] {
        if (!ledger_->busy())
            listAgain();
    });
    connect(ledger_.get(), &LedgerController::addedInBackground, this, listAgain);
    ledgerChanges_ = std::make_unique<LedgerChangeWatch>(*ledger_, *ledgerPanel_, activity_, *this);
    // The ledger's period is its own choice, or the Options frame's.
    const auto followPeriod = [this, entries] { entries->setPeriod(ledgerPeriod()); };
    connect(ledgerPanel_, &LedgerPanel::periodChanged, this, followPeriod);
    connect(bankLogPanel_, &BankLogPanel::periodChanged, this, followPeriod);
    connect(entries->exportButton(), &QPushButton::clicked, this,
            [this, entries] { exports_->exportEntries(*entries->model()); });
    connect(exports_.get(), &ExportController::entriesWritten, this, [this] {
        if (closeWhenExported_)
            close();
    });
    connect(entries, &EntriesTab::memberPageWanted, this, [this, entries](const std::string& name) {
        showInBrowser(QUrl(ToQString(MemberPageAddress(settings_.armoryBase, entries->model()->realm(), name))));
    });
    connect(entries, &EntriesTab::itemPageWanted, this, &MainWindow::openItemPageNamed);
    connect(entries, &EntriesTab::statusWanted, this, &MainWindow::showStatus);
    connect(statsPanel_, &StatsPanel::entriesWanted, this, &MainWindow::showEntriesOf);
    attention_ =
        std::make_unique<LedgerAttention>(*navigationFrame_->findChild<QPushButton*>(QStringLiteral("cmdLedger")));
    watcher_ = std::make_unique<WatchController>(
        WatchController::Window{.browser = *browserPanel_,
                                .ledger = *ledger_,
                                .ledgerPanel = *ledgerPanel_,
                                .attention = *attention_,
                                .exports = *exports_,
                                .dialogs = *services_.dialogs,
                                .parent = *this,
                                .programName = ToQString(settings_.product.programName),
                                .store = settings_.store,
                                .linesFile = settings_.watchLines,
                                .inform = tell},
        activity_);
    if (!services_.desktopNotice)
        services_.desktopNotice = [program = ToQString(settings_.product.programName)](const QString& summary,
                                                                                       const QString& body) {
            SendDesktopNotice(program, summary, body);
        };
    alerts_ = std::make_unique<AlertController>(
        AlertController::Window{.ledger = *ledger_,
                                .panel = *ledgerPanel_,
                                .attention = *attention_,
                                .statusBar = [this](const QString& line) { statsPanel_->showStatus(line); },
                                .notice = services_.desktopNotice,
                                .webhookFile = settings_.alertWebhook});
    connect(&watcher_->watch(), &LedgerWatch::alertsFired, alerts_.get(), &AlertController::tellFired);
    connect(ledgerPanel_->rulesTab(), &RulesTab::entriesWanted, this, &MainWindow::showAlertEntries);
    enableControls();
    setAcceptDrops(true);
    // Controls that take drops themselves (the text box would paste the file's address) leave files to the window.
    for (QWidget* control : findChildren<QWidget*>())
        if (control->acceptDrops())
            control->installEventFilter(this);

    connect(browserPanel_, &BrowserPanel::launchClicked, this,
            [this] { services_.launcher->request(QStringLiteral("Armory")); });
    connect(browserPanel_, &BrowserPanel::quickstartClicked, this, &MainWindow::showQuickstart);
    connect(browserPanel_, &BrowserPanel::bankLogPageFetched, this, [this](const QString& source) {
        // The page would land in the middle of an import, or change the text under a run.
        if (!activity_.idle()) {
            statsPanel_->showStatus(
                QStringLiteral("The page cannot be added while an import or an analysis is in progress."));
            return;
        }
        bankLogPanel_->appendText(QStringLiteral("\r\n") + source);
        showPanel(bankLogPanel_);
    });
    connect(browserPanel_, &BrowserPanel::bankLogPageFailed, this, [this](const QString& text) { inform(text, true); });
    connect(bankLogPanel_->importButton(), &QPushButton::clicked, this, &MainWindow::importLog);
    connect(bankLogPanel_->analyzeButton(), &QPushButton::clicked, this, &MainWindow::analyzeNow);
    connect(statsPanel_->memberList(), &StatsListView::rowDoubleClicked, this, &MainWindow::openMemberPage);
    connect(statsPanel_->itemList(), &StatsListView::rowDoubleClicked, this, &MainWindow::openItemPage);
    connect(reportPanel_, &ReportPanel::siteLinkFollowed, this, &MainWindow::showInBrowser);
    connect(reportPanel_->refreshButton(), &QPushButton::clicked, this, &MainWindow::refreshReport);
    connect(reportPanel_->saveAsButton(), &QPushButton::clicked, this,
            [this] { exports_->saveReportAs(reportPath()); });
    connect(statsPanel_->cancelButton(), &QPushButton::clicked, run_.get(), &RunController::cancel);
    connect(ledgerPanel_->analyzeButton(), &QPushButton::clicked, this, &MainWindow::analyzeLedger);

    showPanel(browserPanel_);
    arrangePanels();
    showQuickstart();
    restoreSettings();
    ledger_->start(keptLedger());
    watcher_->resume();
}

// The panels go first, while the tables their lists show and the filter they report drops to still exist.
MainWindow::~MainWindow() {
    alerts_.reset();
    watcher_.reset();
    ledgerChanges_.reset();
    delete centralWidget();
}

void MainWindow::showAtStart() {
    if (restoreWindowGeometry()) {
        show();
        return;
    }
    const QRect design =
        TwipsToPixels({0, 0, design::kClientWidth, design::kClientHeight}, logicalDpiX(), logicalDpiY());
    resize(design.width(), design.height() + menuBar()->sizeHint().height());
    if (const QScreen* screen = this->screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    showMaximized();
}

QWidget* MainWindow::chartsPage() const {
    return reportPanel_->chartsPage();
}

LedgerWatch& MainWindow::watch() const {
    return watcher_->watch();
}

LedgerChangeWatch& MainWindow::ledgerChanges() const {
    return *ledgerChanges_;
}

std::filesystem::path MainWindow::reportPath() const {
    return settings_.workFolder / "report.html";
}

// Every menu and item has an underlined letter (Alt+F opens File), unique within its menu. The Analyze
// and Ledger menus do what the panels' buttons do, and only their items have shortcut keys.
void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    importAction_ = addItem(file, "mnuImport", QStringLiteral("&Import bank log from a file"), [this] {
        showPanel(bankLogPanel_);
        importLog();
    });
    exportMembersAction_ = addItem(file, "mnuExportMembers", QStringLiteral("Export &Member List as CSV…"), [this] {
        exports_->exportList(*memberModel_, QStringLiteral("Export Member List as CSV"), QStringLiteral("member"));
    });
    exportItemsAction_ = addItem(file, "mnuExportItems", QStringLiteral("Export I&tem List as CSV…"), [this] {
        exports_->exportList(*itemModel_, QStringLiteral("Export Item List as CSV"), QStringLiteral("item"));
    });
    addItem(file, "mnuExportEntries", QStringLiteral("Export &Entries as CSV…"),
            [this] { exports_->exportEntries(*ledgerPanel_->entriesTab()->model()); });
    file->addSeparator();
    addItem(file, "mnuForgetSignIns", QStringLiteral("Forget &Sign-ins…"), &MainWindow::forgetSignIns);
    addItem(file, "mnuExportSignIn", QStringLiteral("Export &Armory Sign-in…"), [this] { watcher_->exportSignIn(); });
    file->addSeparator();
    addItem(file, "mnuExit", QStringLiteral("E&xit"), [this] { close(); });

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    addItem(view, "mnuBrowser", QStringLiteral("&Armory Browser"), &MainWindow::showBrowser);
    addItem(view, "mnuBankLog", QStringLiteral("Bank &Log XML"), &MainWindow::showBankLog);
    addItem(view, "mnuBankStats", QStringLiteral("Bank &Stats"), &MainWindow::showBankStats);
    addItem(view, "mnuReport", QStringLiteral("&Report"), &MainWindow::showReport);
    addItem(view, "mnuLedger", QStringLiteral("&Guild Ledger"), &MainWindow::showLedgerPanel);

    // An item that clicks a button: it is enabled as the button is, and does nothing the button would not.
    auto addButtonItem = [this](QMenu* menu, const char* name, const QString& caption, QPushButton* button,
                                const QKeySequence& shortcut = {}) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, button, &QPushButton::click);
        buttonItems_.emplace_back(action, button);
        return action;
    };
    QMenu* analyze = bar->addMenu(QStringLiteral("A&nalyze"));
    analyze->setObjectName(QStringLiteral("mnuAnalyzeMenu"));
    addButtonItem(analyze, "mnuAnalyzeNow", QStringLiteral("Analyze &now"), bankLogPanel_->analyzeButton(),
                  QKeySequence(Qt::CTRL | Qt::Key_Return));
    addButtonItem(analyze, "mnuRefreshReport", QStringLiteral("&Refresh the report"), reportPanel_->refreshButton());
    addButtonItem(analyze, "mnuSaveAs", QStringLiteral("Save &As…"), reportPanel_->saveAsButton(),
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));

    QMenu* ledger = bar->addMenu(QStringLiteral("&Ledger"));
    ledger->setObjectName(QStringLiteral("mnuLedgerMenu"));
    addButtonItem(ledger, "mnuLedgerAdd", QStringLiteral("&Add the bank log to the ledger"), ledgerPanel_->addButton());
    addButtonItem(ledger, "mnuLedgerAnalyze", QStringLiteral("Analyze &ledger"), ledgerPanel_->analyzeButton());
    ledgerRefreshAction_ =
        addButtonItem(ledger, "mnuLedgerRefresh", QStringLiteral("&Refresh"), ledgerPanel_->refreshButton());
    ledger->addSeparator();
    addButtonItem(ledger, "mnuLedgerNew", QStringLiteral("&New…"), ledgerPanel_->newButton());
    addButtonItem(ledger, "mnuLedgerOpen", QStringLiteral("&Open…"), ledgerPanel_->openButton());
    addButtonItem(ledger, "mnuLedgerConnect", QStringLiteral("&Connect to a shared ledger…"),
                  ledgerPanel_->connectButton());

    QMenu* about = bar->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAboutMenu"));
    addItem(about, "mnuAbout", QStringLiteral("&About this software"),
            [this] { ShowAboutWindow(settings_.product, *services_.launcher, this); });
    QAction* visit = addItem(
        about, "mnuVisit",
        QStringLiteral("&Visit %1").arg(ToQString(settings_.product.website).replace(u'&', QStringLiteral("&&"))),
        &MainWindow::visitWebsite);
    visit->setVisible(settings_.product.website == settings_.makerWebsite);
}

// The Charts tab: its drawings sort the member list through the list's model, its dialogs are the
// window's, and every report written redraws the deposits chart.
void MainWindow::buildCharts() {
    charts_ = new ChartPanel([this](const std::function<void(StatsTable&)>& sort) { memberModel_->reorder(sort); },
                             [this]() -> const WeeklyActivity& { return stats_.activity; }, *services_.dialogs,
                             ToQString(settings_.product.programName), services_.defaultPrinter,
                             [this](const QString& file) { return exports_->outputRefusal(file); },
                             reportPanel_->chartsPage());
    auto* layout = new QVBoxLayout(reportPanel_->chartsPage());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(charts_);
    connect(this, &MainWindow::reportWritten, charts_, &ChartPanel::drawDepositsChart);
    connect(charts_, &ChartPanel::chartSaved, this,
            [this](const QString& file) { exports_->tellWritten(QStringLiteral("the chart"), file); });
}

QWidget* MainWindow::buildNavigation(QWidget* parent) {
    auto* frame = Placed(new QGroupBox(QStringLiteral("View"), parent), "Frame5", design::kFrame5);
    frame->setFont(BoldWindowFont());
    const struct {
        const char* name;
        QString caption;
        float top;
        void (MainWindow::*click)();
    } buttons[] = {{"Command2", QStringLiteral("Browser"), 240, &MainWindow::showBrowser},
                   {"Command4", QStringLiteral("Bank Log XML"), 960, &MainWindow::showBankLog},
                   {"Command5", QStringLiteral("Bank Stats"), 1680, &MainWindow::showBankStats},
                   {"Command6", QStringLiteral("Report"), 2400, &MainWindow::showReport},
                   {"cmdLedger", QStringLiteral("Guild Ledger"), 3120, &MainWindow::showLedgerPanel},
                   {"cmdWebsite", ToQString(settings_.product.website), 3840, &MainWindow::visitWebsite}};
    for (const auto& item : buttons) {
        auto* button = Placed(new QPushButton(item.caption, frame), item.name,
                              {kNavigationLeft, item.top, kNavigationWidth, kNavigationHeight});
        connect(button, &QPushButton::clicked, this, item.click);
    }
    return frame;
}

void MainWindow::hideAllPanels() {
    for (QWidget* panel :
         std::initializer_list<QWidget*>{browserPanel_, bankLogPanel_, statsPanel_, reportPanel_, ledgerPanel_})
        panel->hide();
}

void MainWindow::showPanel(QWidget* panel) {
    hideAllPanels();
    panel->show();
    // F5 refreshes what is shown: elsewhere it is free for the panel's own controls (the browser's page).
    ledgerRefreshAction_->setShortcut(panel == ledgerPanel_ ? QKeySequence(Qt::Key_F5) : QKeySequence());
}

void MainWindow::showBrowser() {
    showPanel(browserPanel_);
}

void MainWindow::showBankLog() {
    showPanel(bankLogPanel_);
}

void MainWindow::showBankStats() {
    showPanel(statsPanel_);
}

void MainWindow::showReport() {
    showPanel(reportPanel_);
    arrangePanels();
}

void MainWindow::showLedgerPanel() {
    showPanel(ledgerPanel_);
}

void MainWindow::showEntriesOf(bool member, const QString& name) {
    showLedgerPanel();
    ledgerPanel_->showEntriesTab();
    // The list shows the run's period as the panel's choice, which the next "Analyze ledger" takes too.
    std::optional<std::pair<QDate, QDate>> days;
    if (const std::optional<TimeRange>& range = run_->shownPeriod().range)
        days = {LocalDay(static_cast<std::int64_t>(range->first)), LocalDay(static_cast<std::int64_t>(range->last))};
    ledgerPanel_->choosePeriod(days, bankLogPanel_->period(), QDate::currentDate());
    ledgerPanel_->entriesTab()->showExactly(member, DecodeCharacterReferences(name.toStdString()));
}

void MainWindow::showAlertEntries(const AlertEntries& entries) {
    showLedgerPanel();
    ledgerPanel_->showEntriesTab();
    ledgerPanel_->choosePeriod(entries.days, bankLogPanel_->period(), QDate::currentDate());
    if (entries.member)
        ledgerPanel_->entriesTab()->showExactly(true, DecodeCharacterReferences(*entries.member));
}

std::optional<TimeRange> MainWindow::ledgerPeriod() const {
    const auto days = ledgerPanel_->period(bankLogPanel_->period(), QDate::currentDate());
    if (!days)
        return std::nullopt;
    return LocalDaysRange(ToLocalDate(days->first), ToLocalDate(days->second));
}

void MainWindow::visitWebsite() {
    services_.launcher->request(QStringLiteral("Website"));
}

void MainWindow::forgetSignIns() {
    if (!services_.dialogs->confirm(this, ToQString(settings_.product.programName),
                                    QStringLiteral("Forget every sign-in of the browser, and the pages it keeps? You "
                                                   "will have to sign in to the armory again."),
                                    UserDialogs::Buttons::YesNo))
        return;
    browserPanel_->forgetSignIns();
    // The cache is cleared in the background, and a request of a page made meanwhile never ends.
    watcher_->watch().reopenPage(std::chrono::seconds(2));
}

void MainWindow::arrangePanels() {
    const QSize outer = frameGeometry().size();
    const PanelLayout layout = ArrangePanels(static_cast<float>(PixelsToTwips(outer.width(), logicalDpiX())),
                                             static_cast<float>(PixelsToTwips(outer.height(), logicalDpiY())));
    for (QWidget* panel :
         std::initializer_list<QWidget*>{browserPanel_, bankLogPanel_, statsPanel_, reportPanel_, ledgerPanel_})
        PlaceTwips(panel, layout.contentPanel);
    browserPanel_->placeBrowser(layout.webBrowser1);
    bankLogPanel_->placeText(layout.text1);
    statsPanel_->place(layout);
    reportPanel_->place(layout);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    arrangePanels();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // An export under way is waited for, or stopped, as the user chooses; a signal stops it without asking.
    if (!ClosingOnSignal() && exports_->waitAtClose()) {
        closeWhenExported_ = true;
        event->ignore();
        return;
    }
    ledgerPanel_->entriesTab()->model()->stopReading();
    activity_.close(); // an import in progress stops at its next piece
    keepSettings();
    ledger_->cancelAdd(); // also while it waits for another program's lock
    watcher_->watch().stop();
    QMainWindow::closeEvent(event);
}

void MainWindow::showQuickstart() {
    browserPanel_->navigate(QUrl::fromLocalFile(ToQString((settings_.programFolder / "html" / "help.html").string())));
}

void MainWindow::showInBrowser(const QUrl& url) {
    browserPanel_->navigate(url);
    showPanel(browserPanel_);
}

void MainWindow::openMemberPage(int row) {
    const std::string_view name = stats_.members.cell(memberModel_->tableRow(row), kCharacter);
    showInBrowser(QUrl(ToQString(MemberPageAddress(settings_.armoryBase, stats_.guild.realm, name))));
}

void MainWindow::openItemPage(int row) {
    openItemPageNamed(std::string(stats_.items.cell(itemModel_->tableRow(row), kItem)));
}

void MainWindow::openItemPageNamed(const std::string& name) {
    if (!services_.itemPageAddress) {
        showInBrowser(QUrl(ToQString(ItemSearchAddress(settings_.itemDatabaseBase, name))));
        return;
    }
    // The site answers later, when the tables may have been refilled: the resolver keeps its own copy.
    services_.itemPageAddress(name, [this](std::string address) { showInBrowser(QUrl(ToQString(address))); });
}

void MainWindow::enableControls() {
    const bool idle = activity_.idle();
    for (QWidget* control :
         std::initializer_list<QWidget*>{bankLogPanel_->analyzeButton(), bankLogPanel_->importButton(),
                                         reportPanel_->refreshButton(), reportPanel_->saveAsButton()})
        control->setEnabled(idle);
    importAction_->setEnabled(idle);
    // Exporting needs a filled list; a run empties the lists first.
    exportMembersAction_->setEnabled(idle && memberModel_->table().rowCount() > 0);
    exportItemsAction_->setEnabled(idle && itemModel_->table().rowCount() > 0);
    statsPanel_->showBusy(!idle);
    ledgerPanel_->enableActions(!idle, ledger_->busy(),
                                ToQString(LedgerUnwritableReason(ledger_->path().toStdString())));
    for (const auto& [action, button] : buttonItems_)
        action->setEnabled(button->isEnabled());
}

void MainWindow::showStatus(const QString& text) {
    statsPanel_->showStatus(text);
    // The ledger panel has its own status line, where its export is looked for.
    if (ledgerPanel_->isVisible())
        ledgerPanel_->showStatus(text);
}

void MainWindow::inform(const QString& text, bool warning) {
    services_.dialogs->inform(this, ToQString(settings_.product.programName), text, warning);
}

} // namespace coffer
