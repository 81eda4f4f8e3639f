#include "ui/main_window.h"

#include "analysis/lookup/site_addresses.h"
#include "analysis/tables/transaction_totals.h"
#include "ui/about_window.h"
#include "ui/bank_log_panel.h"
#include "ui/browser_panel.h"
#include "ui/charts/chart_panel.h"
#include "ui/engine_text.h"
#include "ui/ledger_panel.h"
#include "ui/link_launcher.h"
#include "ui/pending_report.h"
#include "ui/program_icon.h"
#include "ui/report_panel.h"
#include "ui/site_links.h"
#include "ui/stats_list_view.h"
#include "ui/stats_panel.h"
#include "ui/stats_table_model.h"
#include "ui/twips.h"
#include "ui/user_dialogs.h"
#include "ui/window_fonts.h"

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

Form1::Form1(Form1Settings settings, Form1Services services, QWidget* parent)
    : QMainWindow(parent), settings_(std::move(settings)), services_(std::move(services)),
      memberModel_(new StatsTableModel(stats_.members, this)), itemModel_(new StatsTableModel(stats_.items, this)) {
    setObjectName(QStringLiteral("Form1"));
    setFont(WindowFont());
    setWindowTitle(Qs(settings_.product.programName));
    setWindowIcon(ProgramIcon());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(client);
    frame5_ = buildNavigation(client);

    const QString armory = Qs(settings_.armoryBase);
    const QString itemDatabase = Qs(settings_.itemDatabaseBase);
    frame1_ = new BrowserPanel(armory, client);
    frame2_ = new BankLogPanel(QUrl(armory).host(), client);
    frame3_ = new StatsPanel(memberModel_, itemModel_, QUrl(itemDatabase).host(), client);
    frame4_ = new ReportPanel({DomainLabel(armory), DomainLabel(itemDatabase)}, client);
    buildLedger(client);
    buildMenus();
    buildCharts();
    setBusy(false);
    setAcceptDrops(true);
    // Controls that take drops themselves (the text box would paste the file's address) leave files to the window.
    for (QWidget* control : findChildren<QWidget*>())
        if (control->acceptDrops())
            control->installEventFilter(this);

    connect(frame1_, &BrowserPanel::launchClicked, this,
            [this] { services_.launcher->request(QStringLiteral("Armory")); });
    connect(frame1_, &BrowserPanel::quickstartClicked, this, &Form1::showQuickstart);
    connect(frame1_, &BrowserPanel::bankLogPageFetched, this, [this](const QString& source) {
        // The page would land in the middle of an import, or change the text under a run.
        if (busy_) {
            frame3_->showStatus(
                QStringLiteral("The page cannot be added while an import or an analysis is in progress."));
            return;
        }
        frame2_->appendText(QStringLiteral("\r\n") + source);
        showPanel(frame2_);
    });
    connect(frame1_, &BrowserPanel::bankLogPageFailed, this, [this](const QString& text) { inform(text, true); });
    connect(frame2_->importButton(), &QPushButton::clicked, this, &Form1::importLog);
    connect(frame2_->analyzeButton(), &QPushButton::clicked, this, &Form1::cmdAnalyze_Click);
    connect(frame3_->memberList(), &StatsListView::rowDoubleClicked, this, &Form1::ListView1_DblClick);
    connect(frame3_->itemList(), &StatsListView::rowDoubleClicked, this, &Form1::ListView2_DblClick);
    connect(frame4_, &ReportPanel::siteLinkFollowed, this, &Form1::showInBrowser);
    connect(frame4_->refreshButton(), &QPushButton::clicked, this, &Form1::cmdRefresh_Click);
    connect(frame4_->saveAsButton(), &QPushButton::clicked, this, &Form1::cmdSaveAs_Click);
    // What a cancelled run still tells on its way out is no longer the window's news.
    connect(&job_, &AnalysisJob::statusChanged, this, [this](const QString& text) {
        if (!runCancelled_)
            frame3_->showStatus(text);
    });
    connect(&job_, &AnalysisJob::progressChanged, this, [this](int percent) {
        if (!runCancelled_)
            frame3_->showProgress(percent);
    });
    connect(frame3_->cancelButton(), &QPushButton::clicked, this, &Form1::cancelRun);
    connect(&job_, &AnalysisJob::finished, this, &Form1::onAnalysisFinished);

    showPanel(frame1_);
    arrangePanels();
    showQuickstart();
    restoreSettings();
    // The ledger of the last run stays in use when it cannot be read now (a server that is down).
    readableLedger_ = ledgerFile_;
    useLedger(ledgerFile_);
}

// The panels go first, while the tables their lists show and the filter they report drops to still exist.
Form1::~Form1() {
    delete centralWidget();
}

void Form1::showAtStart() {
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

QWidget* Form1::chartsPage() const {
    return frame4_->chartsPage();
}

std::filesystem::path Form1::reportPath() const {
    return settings_.workFolder / "report.html";
}

// Every menu and item has an underlined letter (Alt+F opens File), unique within its menu; none has a
// shortcut key.
void Form1::buildMenus() {
    QMenuBar* bar = menuBar();
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuImport_ = addItem(file, "mnuImport", QStringLiteral("&Import bank log from a file"), [this] {
        showPanel(frame2_);
        importLog();
    });
    mnuExportMembers_ = addItem(file, "mnuExportMembers", QStringLiteral("Export &Member List as CSV…"),
                                [this] { exportList(memberModel_); });
    mnuExportItems_ = addItem(file, "mnuExportItems", QStringLiteral("Export I&tem List as CSV…"),
                              [this] { exportList(itemModel_); });
    file->addSeparator();
    addItem(file, "mnuExit", QStringLiteral("E&xit"), [this] { close(); });

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    addItem(view, "mnuBrowser", QStringLiteral("&Armory Browser"), &Form1::Command2_Click);
    addItem(view, "mnuBankLog", QStringLiteral("Bank &Log XML"), &Form1::Command4_Click);
    addItem(view, "mnuBankStats", QStringLiteral("Bank &Stats"), &Form1::Command5_Click);
    addItem(view, "mnuReport", QStringLiteral("&Report"), &Form1::Command6_Click);
    addItem(view, "mnuLedger", QStringLiteral("&Guild Ledger"), &Form1::showLedgerPanel);

    QMenu* about = bar->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAboutMenu"));
    addItem(about, "mnuAbout", QStringLiteral("&About this software"),
            [this] { ShowAboutWindow(settings_.product, *services_.launcher, this); });
    QAction* visit =
        addItem(about, "mnuVisit",
                QStringLiteral("&Visit %1").arg(Qs(settings_.product.website).replace(u'&', QStringLiteral("&&"))),
                &Form1::cmdWebsite_Click);
    visit->setVisible(settings_.product.website == settings_.makerWebsite);
}

// The Charts tab: its drawings sort the member list through the list's model, its dialogs are the
// window's, and every report written redraws the deposits chart.
void Form1::buildCharts() {
    charts_ = new ChartPanel([this](const std::function<void(StatsTable&)>& sort) { memberModel_->reorder(sort); },
                             [this]() -> const WeeklyActivity& { return stats_.activity; }, *services_.dialogs,
                             Qs(settings_.product.programName), services_.defaultPrinter, frame4_->chartsPage());
    auto* layout = new QVBoxLayout(frame4_->chartsPage());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(charts_);
    connect(this, &Form1::reportWritten, charts_, &ChartPanel::DrawDepositsChart);
}

QWidget* Form1::buildNavigation(QWidget* parent) {
    auto* frame = Placed(new QGroupBox(QStringLiteral("View"), parent), "Frame5", design::kFrame5);
    frame->setFont(BoldWindowFont());
    const struct {
        const char* name;
        QString caption;
        float top;
        void (Form1::*click)();
    } buttons[] = {{"Command2", QStringLiteral("Browser"), 240, &Form1::Command2_Click},
                   {"Command4", QStringLiteral("Bank Log XML"), 960, &Form1::Command4_Click},
                   {"Command5", QStringLiteral("Bank Stats"), 1680, &Form1::Command5_Click},
                   {"Command6", QStringLiteral("Report"), 2400, &Form1::Command6_Click},
                   {"cmdLedger", QStringLiteral("Guild Ledger"), 3120, &Form1::showLedgerPanel},
                   {"cmdWebsite", Qs(settings_.product.website), 3840, &Form1::cmdWebsite_Click}};
    for (const auto& item : buttons) {
        auto* button = Placed(new QPushButton(item.caption, frame), item.name,
                              {kNavigationLeft, item.top, kNavigationWidth, kNavigationHeight});
        connect(button, &QPushButton::clicked, this, item.click);
    }
    return frame;
}

void Form1::hideall() {
    for (QWidget* panel : std::initializer_list<QWidget*>{frame1_, frame2_, frame3_, frame4_, ledgerPanel_})
        panel->hide();
}

void Form1::showPanel(QWidget* panel) {
    hideall();
    panel->show();
}

void Form1::Command2_Click() {
    showPanel(frame1_);
}

void Form1::Command4_Click() {
    showPanel(frame2_);
}

void Form1::Command5_Click() {
    showPanel(frame3_);
}

void Form1::Command6_Click() {
    showPanel(frame4_);
    arrangePanels();
}

void Form1::cmdWebsite_Click() {
    services_.launcher->request(QStringLiteral("Website"));
}

void Form1::arrangePanels() {
    const QSize outer = frameGeometry().size();
    const PanelLayout layout = ArrangePanels(static_cast<float>(PixelsToTwips(outer.width(), logicalDpiX())),
                                             static_cast<float>(PixelsToTwips(outer.height(), logicalDpiY())));
    for (QWidget* panel : std::initializer_list<QWidget*>{frame1_, frame2_, frame3_, frame4_, ledgerPanel_})
        PlaceTwips(panel, layout.contentPanel);
    frame1_->placeBrowser(layout.webBrowser1);
    frame2_->placeText(layout.text1);
    frame3_->place(layout);
    frame4_->place(layout);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    arrangePanels();
}

void Form1::closeEvent(QCloseEvent* event) {
    closing_ = true; // an import in progress stops at its next piece
    keepSettings();
    QMainWindow::closeEvent(event);
}

void Form1::showQuickstart() {
    frame1_->navigate(QUrl::fromLocalFile(Qs((settings_.programFolder / "html" / "help.html").string())));
}

void Form1::showInBrowser(const QUrl& url) {
    frame1_->navigate(url);
    showPanel(frame1_);
}

void Form1::ListView1_DblClick(int row) {
    const std::string& name = stats_.members.cell(memberModel_->tableRow(row), kCharacter);
    showInBrowser(QUrl(Qs(MemberPageAddress(settings_.armoryBase, stats_.guild.realm, name))));
}

void Form1::ListView2_DblClick(int row) {
    const std::string& name = stats_.items.cell(itemModel_->tableRow(row), kItem);
    if (!services_.itemPageAddress) {
        showInBrowser(QUrl(Qs(ItemSearchAddress(settings_.itemDatabaseBase, name))));
        return;
    }
    // The site answers later, when the tables may have been refilled: the resolver keeps its own copy.
    services_.itemPageAddress(name, [this](std::string address) { showInBrowser(QUrl(Qs(address))); });
}

void Form1::setBusy(bool busy) {
    busy_ = busy;
    for (QWidget* control : std::initializer_list<QWidget*>{frame2_->analyzeButton(), frame2_->importButton(),
                                                            frame4_->refreshButton(), frame4_->saveAsButton()})
        control->setEnabled(!busy);
    mnuImport_->setEnabled(!busy);
    // Exporting needs a filled list; a run empties the lists first.
    mnuExportMembers_->setEnabled(!busy && memberModel_->table().rowCount() > 0);
    mnuExportItems_->setEnabled(!busy && itemModel_->table().rowCount() > 0);
    frame3_->showBusy(busy);
    enableLedgerActions();
}

void Form1::inform(const QString& text, bool warning) {
    services_.dialogs->inform(this, Qs(settings_.product.programName), text, warning);
}

} // namespace coffer
