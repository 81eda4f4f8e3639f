#include "ui/report_panel.h"

#include "report/html_report.h"
#include "ui/report_page.h"
#include "ui/twips.h"
#include "ui/window_fonts.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QWebEngineView>

namespace coffer {
namespace {

// The chart controls' area: from the "Display:" row down to the chart's bottom edge.
constexpr float kChartsTop = 720;

QComboBox* MakeLimitBox(int start, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // a typed "3" stays 3 instead of completing to the entry "30"
    for (int limit = 5; limit <= 100; limit += 5)
        box->addItem(QString::number(limit));
    box->setCurrentText(QString::number(start));
    return box;
}

} // namespace

ReportPanel::ReportPanel(const QStringList& siteLabels, QWidget* parent) : QGroupBox(QStringLiteral("Report"), parent) {
    setObjectName(QStringLiteral("Frame4"));
    tabStrip1_ = Placed(new QTabBar(this), "TabStrip1", {120, 300, 9555, 315});
    tabStrip1_->addTab(QStringLiteral("Text Report"));
    tabStrip1_->addTab(QStringLiteral("Charts"));
    tabStrip1_->setExpanding(false);

    auto* label5 = Placed(new QLabel(QStringLiteral("Players per section:"), this), "Label5", {240, 720, 1815, 255});
    cmbPlayers_ = Placed(MakeLimitBox(kDefaultPlayersPerSection, this), "cmbPlayers", {2100, 720, 855, 315});
    auto* label6 = Placed(new QLabel(QStringLiteral("Items per section:"), this), "Label6", {3000, 720, 1635, 255});
    cmbItems_ = Placed(MakeLimitBox(kDefaultItemsPerSection, this), "cmbItems", {4740, 720, 855, 315});
    cmdRefresh_ = Placed(new QPushButton(QStringLiteral("Refresh"), this), "cmdRefresh", {5700, 720, 1395, 315});
    cmdSaveAs_ = Placed(new QPushButton(QStringLiteral("Save As"), this), "cmdSaveAs", {7140, 720, 1395, 315});

    webBrowser2_ = new QWebEngineView(this);
    webBrowser2_->setObjectName(QStringLiteral("WebBrowser2"));
    auto* page = new ReportPage(siteLabels, webBrowser2_);
    webBrowser2_->setPage(page);
    connect(page, &ReportPage::siteLinkFollowed, this, &ReportPanel::siteLinkFollowed);

    chartsPage_ = new QWidget(this);
    chartsPage_->setObjectName(QStringLiteral("chartsPage"));
    chartsPage_->hide();
    textReportControls_ = {webBrowser2_, label5, cmbPlayers_, label6, cmbItems_, cmdRefresh_, cmdSaveAs_};
    BoldCaption(this);

    connect(tabStrip1_, &QTabBar::currentChanged, this, &ReportPanel::showTab);
}

QString ReportPanel::playersPerSection() const {
    return cmbPlayers_->currentText();
}

QString ReportPanel::itemsPerSection() const {
    return cmbItems_->currentText();
}

void ReportPanel::setSectionLimits(const QString& players, const QString& items) {
    cmbPlayers_->setCurrentText(players);
    cmbItems_->setCurrentText(items);
}

void ReportPanel::showReport(const QUrl& file) {
    webBrowser2_->load(file);
}

void ReportPanel::showTab(int index) {
    if (index != 0 && index != 1)
        return;
    const bool textReport = index == 0;
    for (QWidget* control : std::as_const(textReportControls_))
        control->setVisible(textReport);
    chartsPage_->setVisible(!textReport);
}

void ReportPanel::place(const PanelLayout& layout) {
    PlaceTwips(webBrowser2_, layout.webBrowser2);
    const TwipsRect& chart = layout.msChart1;
    PlaceTwips(chartsPage_, {chart.left, kChartsTop, chart.width, chart.height + (chart.top - kChartsTop)});
}

} // namespace coffer
