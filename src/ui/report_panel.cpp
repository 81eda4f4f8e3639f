// SPDX-License-Identifier: MIT
#include "ui/report_panel.h"

#include "report/html_report.h"
#include "ui/base/arrange_panels.h"
#include "ui/base/twips.h"
#include "ui/base/window_fonts.h"
#include "ui/report_page.h"

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
    reportTabs_ = Placed(new QTabBar(this), "TabStrip1", {120, 300, 9555, 315});
    reportTabs_->addTab(QStringLiteral("Text Report"));
    reportTabs_->addTab(QStringLiteral("Charts"));
    reportTabs_->setExpanding(false);

    auto* label5 = Placed(new QLabel(QStringLiteral("Players per section:"), this), "Label5", {240, 720, 1815, 255});
    playersChoice_ = Placed(MakeLimitBox(kDefaultPlayersPerSection, this), "cmbPlayers", {2100, 720, 855, 315});
    auto* label6 = Placed(new QLabel(QStringLiteral("Items per section:"), this), "Label6", {3000, 720, 1635, 255});
    itemsChoice_ = Placed(MakeLimitBox(kDefaultItemsPerSection, this), "cmbItems", {4740, 720, 855, 315});
    refreshButton_ = Placed(new QPushButton(QStringLiteral("Refresh"), this), "cmdRefresh", {5700, 720, 1395, 315});
    saveAsButton_ = Placed(new QPushButton(QStringLiteral("Save As"), this), "cmdSaveAs", {7140, 720, 1395, 315});

    reportView_ = new QWebEngineView(this);
    reportView_->setObjectName(QStringLiteral("WebBrowser2"));
    auto* page = new ReportPage(siteLabels, reportView_);
    reportView_->setPage(page);
    connect(page, &ReportPage::siteLinkFollowed, this, &ReportPanel::siteLinkFollowed);

    chartsPage_ = new QWidget(this);
    chartsPage_->setObjectName(QStringLiteral("chartsPage"));
    chartsPage_->hide();
    textReportControls_ = {reportView_, label5, playersChoice_, label6, itemsChoice_, refreshButton_, saveAsButton_};
    BoldCaption(this);

    connect(reportTabs_, &QTabBar::currentChanged, this, &ReportPanel::showTab);
}

QString ReportPanel::playersPerSection() const {
    return playersChoice_->currentText();
}

QString ReportPanel::itemsPerSection() const {
    return itemsChoice_->currentText();
}

void ReportPanel::setSectionLimits(const QString& players, const QString& items) {
    playersChoice_->setCurrentText(players);
    itemsChoice_->setCurrentText(items);
}

void ReportPanel::showReport(const QUrl& file) {
    reportView_->load(file);
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
    PlaceTwips(reportView_, layout.webBrowser2);
    const TwipsRect& chart = layout.msChart1;
    PlaceTwips(chartsPage_, {chart.left, kChartsTop, chart.width, chart.height + (chart.top - kChartsTop)});
}

} // namespace coffer
