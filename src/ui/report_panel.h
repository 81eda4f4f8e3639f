// SPDX-License-Identifier: MIT
#pragma once
// Frame4, the Report panel: the tab strip TabStrip1 with "Text Report" (the section limits, "Refresh",
// "Save As" and the report view WebBrowser2) and "Charts" (the page `chartsPage`, which the chart
// panel fills). Report links to the armory or the item database site are handed on, not followed.

#include <QGroupBox>
#include <QStringList>

class QComboBox;
class QPushButton;
class QTabBar;
class QWebEngineView;

namespace coffer {

struct PanelLayout;

class ReportPanel : public QGroupBox {
    Q_OBJECT
  public:
    ReportPanel(const QStringList& siteLabels, QWidget* parent = nullptr);

    QString playersPerSection() const;
    QString itemsPerSection() const;
    void setSectionLimits(const QString& players, const QString& items);
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* saveAsButton() const { return saveAsButton_; }
    // The Charts tab's page: it covers the chart controls' area and starts empty.
    QWidget* chartsPage() const { return chartsPage_; }

    void showReport(const QUrl& file);
    void place(const PanelLayout& layout);

  signals:
    void siteLinkFollowed(const QUrl& url);

  private:
    void showTab(int index);

    QTabBar* reportTabs_;
    QComboBox* playersChoice_;
    QComboBox* itemsChoice_;
    QPushButton* refreshButton_;
    QPushButton* saveAsButton_;
    QWebEngineView* reportView_;
    QWidget* chartsPage_;
    QList<QWidget*> textReportControls_;
};

} // namespace coffer
