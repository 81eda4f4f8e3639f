#include "ui/report_panel.h"

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

QComboBox* MakeLimitBox(const char* name, const QString& start, const TwipsRect& rect, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // a typed "3" stays 3 instead of completing to the entry "30"
    for (int limit = 5; limit <= 100; limit += 5)
        box->addItem(QString::number(limit));
    box->setCurrentText(start);
    PlaceTwips(box, rect);
    return box;
}

QLabel* MakeLabel(const char* name, const QString& caption, const TwipsRect& rect, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    PlaceTwips(label, rect);
    return label;
}

QPushButton* MakeButton(const char* name, const QString& caption, const TwipsRect& rect, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    PlaceTwips(button, rect);
    return button;
}

} // namespace

ReportPanel::ReportPanel(const QStringList& siteLabels, QWidget* parent) : QGroupBox(QStringLiteral("Report"), parent) {
    setObjectName(QStringLiteral("Frame4"));
    tabStrip1_ = new QTabBar(this);
    tabStrip1_->setObjectName(QStringLiteral("TabStrip1"));
    tabStrip1_->addTab(QStringLiteral("Text Report"));
    tabStrip1_->addTab(QStringLiteral("Charts"));
    tabStrip1_->setExpanding(false);
    PlaceTwips(tabStrip1_, {120, 300, 9555, 315});

    QLabel* label5 = MakeLabel("Label5", QStringLiteral("Players per section:"), {240, 720, 1815, 255}, this);
    cmbPlayers_ = MakeLimitBox("cmbPlayers", QStringLiteral("10"), {2100, 720, 855, 315}, this);
    QLabel* label6 = MakeLabel("Label6", QStringLiteral("Items per section:"), {3000, 720, 1635, 255}, this);
    cmbItems_ = MakeLimitBox("cmbItems", QStringLiteral("25"), {4740, 720, 855, 315}, this);
    cmdRefresh_ = MakeButton("cmdRefresh", QStringLiteral("Refresh"), {5700, 720, 1395, 315}, this);
    cmdSaveAs_ = MakeButton("cmdSaveAs", QStringLiteral("Save As"), {7140, 720, 1395, 315}, this);

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
