// Form1 at start, its panels, menus and layout.

#include "tests/ui/support/form1_harness.h"
#include "ui/arrange_panels.h"
#include "ui/twips.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QWebEngineView>

using namespace coffer;
using test::Form1Harness;

class Form1NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void startsOnTheBrowserPanelWithTheQuickstartPage();
    void captionsAndFonts();
    void menusHoldTheirItemsInOrder();
    void visitItemShowsOnlyForTheMakersWebsite();
    void everyButtonAndViewItemShowsItsPanel_data();
    void everyButtonAndViewItemShowsItsPanel();
    void reportPanelLaysOutAgain();
    void panelsFollowTheWindowSize_data();
    void panelsFollowTheWindowSize();
    void tabSwitchingRestoresTheTextReportControls();
    void launchAndWebsiteGoThroughTheLauncher();
};

void Form1NavigationTest::startsOnTheBrowserPanelWithTheQuickstartPage() {
    Form1Harness harness;
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
    QVERIFY(harness.find("Frame5")->isVisible());
    const QUrl quickstart = QUrl::fromLocalFile(harness.folder() + QStringLiteral("/html/help.html"));
    QTRY_COMPARE(harness.find<QWebEngineView>("WebBrowser1")->url(), quickstart);
    harness.click("Command10");
    QCOMPARE(harness.find<QWebEngineView>("WebBrowser1")->url(), quickstart);
    QCOMPARE(harness.find<QLineEdit>("Text2")->text(), QString::fromLatin1(Form1Harness::kArmory));
}

void Form1NavigationTest::captionsAndFonts() {
    Form1Harness harness;
    QCOMPARE(harness.window().windowTitle(), QStringLiteral("Coffer"));
    QVERIFY(!harness.window().windowIcon().isNull());
    const struct {
        const char* name;
        const char* caption;
    } frames[] = {{"Frame5", "View"},
                  {"Frame1", "Browser"},
                  {"Frame2", "Bank Log XML - Paste the source code of your armory.localhost bank log here"},
                  {"Frame3", "Bank Stats"},
                  {"Frame4", "Report"},
                  {"Frame6", "Options"}};
    for (const auto& frame : frames)
        QCOMPARE(harness.find<QGroupBox>(frame.name)->title(), QString::fromLatin1(frame.caption));
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"Command2", "Browser"},   {"Command4", "Bank Log XML"}, {"Command5", "Bank Stats"},
                   {"Command6", "Report"},    {"cmdWebsite", "coffer.example"}, {"Command1", "Go"},
                   {"Command9", "Launch"},    {"Command10", "Quickstart"}, {"Command8", "Import File"},
                   {"cmdAnalyze", "Analyze now"}, {"cmdRefresh", "Refresh"}, {"cmdSaveAs", "Save As"}};
    for (const auto& button : buttons)
        QCOMPARE(harness.find<QPushButton>(button.name)->text(), QString::fromLatin1(button.caption));

    const QFont window = harness.window().font();
    QCOMPARE(window.family(), QStringLiteral("Verdana"));
    QCOMPARE(window.pointSizeF(), 8.25);
    for (const char* bold : {"Frame1", "Frame3", "Frame5", "Command2", "cmdWebsite"})
        QVERIFY2(harness.find(bold)->font().bold(), bold);
    for (const char* normal : {"Text1", "ListView1", "cmdAnalyze", "Label2", "Command1", "cmbPlayers", "chkLorehold"})
        QVERIFY2(!harness.find(normal)->font().bold(), normal);
}

void Form1NavigationTest::menusHoldTheirItemsInOrder() {
    Form1Harness harness;
    QStringList menus;
    for (QAction* menu : harness.window().menuBar()->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions()) {
            items << (item->isSeparator() ? QStringLiteral("-") : item->text());
            QVERIFY(item->shortcut().isEmpty());
        }
        menus << menu->text() + u':' + items.join(u'|');
    }
    QCOMPARE(menus, (QStringList{"File:Import bank log from a file|-|Exit",
                                 "View:Armory Browser|Bank Log XML|Bank Stats|Report",
                                 "About:About this software|Visit coffer.example"}));
}

void Form1NavigationTest::visitItemShowsOnlyForTheMakersWebsite() {
    Form1Harness harness;
    QVERIFY(harness.window().findChild<QAction*>(QStringLiteral("mnuVisit"))->isVisible());
    harness.trigger("mnuVisit");
    QCOMPARE(harness.opened(), QList<QUrl>{QUrl("http://coffer.example")});
}

void Form1NavigationTest::everyButtonAndViewItemShowsItsPanel_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("panel");
    const struct {
        const char* button;
        const char* menuItem;
        const char* panel;
    } routes[] = {{"Command2", "mnuBrowser", "Frame1"},
                  {"Command4", "mnuBankLog", "Frame2"},
                  {"Command5", "mnuBankStats", "Frame3"},
                  {"Command6", "mnuReport", "Frame4"}};
    for (const auto& route : routes) {
        QTest::newRow(route.button) << route.button << route.panel;
        QTest::newRow(route.menuItem) << route.menuItem << route.panel;
    }
    QTest::newRow("mnuImport cancelled") << "mnuImport" << "Frame2";
}

void Form1NavigationTest::everyButtonAndViewItemShowsItsPanel() {
    QFETCH(QString, control);
    QFETCH(QString, panel);
    Form1Harness harness;
    for (const char* start : {"Command4", "Command6", "Command5", "Command2"}) {
        harness.click(start);
        const QByteArray name = control.toLatin1();
        if (control.startsWith(u"mnu"))
            harness.trigger(name.constData());
        else
            harness.click(name.constData());
        QCOMPARE(harness.visiblePanel(), panel);
    }
}

void Form1NavigationTest::reportPanelLaysOutAgain() {
    Form1Harness harness;
    auto* report = harness.find("WebBrowser2");
    const QRect laidOut = report->geometry();
    report->setGeometry(1, 1, 10, 10);
    harness.click("Command6");
    QCOMPARE(report->geometry(), laidOut);
}

void Form1NavigationTest::panelsFollowTheWindowSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("1280x800") << QSize(1280, 800);
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("tiny") << QSize(120, 60);
}

void Form1NavigationTest::panelsFollowTheWindowSize() {
    QFETCH(QSize, size);
    Form1Harness harness;
    Form1& window = harness.window();
    window.resize(size); // a tiny window may keep a minimum size: the layout follows whatever size it got
    const QSize outer = window.frameGeometry().size();
    const double dpiX = window.logicalDpiX();
    const double dpiY = window.logicalDpiY();
    const PanelLayout layout = ArrangePanels(float(PixelsToTwips(outer.width(), dpiX)),
                                             float(PixelsToTwips(outer.height(), dpiY)));
    const QRect panel = TwipsToPixels(layout.contentPanel, dpiX, dpiY);
    QCOMPARE(panel.topLeft(), TwipsToPixels({2700, 0, 0, 0}, dpiX, dpiY).topLeft());
    for (const char* frame : {"Frame1", "Frame2", "Frame3", "Frame4"})
        QCOMPARE(harness.find(frame)->geometry(), panel);
    QCOMPARE(harness.find("WebBrowser1")->geometry(), TwipsToPixels(layout.webBrowser1, dpiX, dpiY));
    QCOMPARE(harness.find("Text1")->geometry(), TwipsToPixels(layout.text1, dpiX, dpiY));
    QCOMPARE(harness.find("ListView2")->geometry(), TwipsToPixels(layout.listView2, dpiX, dpiY));
    QCOMPARE(harness.find("StatusBar1")->geometry(), TwipsToPixels(layout.statusBar1, dpiX, dpiY));
    QCOMPARE(harness.find("Frame5")->geometry(), TwipsToPixels(design::kFrame5, dpiX, dpiY));
}

void Form1NavigationTest::tabSwitchingRestoresTheTextReportControls() {
    Form1Harness harness;
    harness.click("Command6");
    auto* tabs = harness.find<QTabBar>("TabStrip1");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Text Report"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Charts"));
    QCOMPARE(tabs->currentIndex(), 0);
    const QStringList textReport{"WebBrowser2", "Label5", "cmbPlayers", "Label6", "cmbItems", "cmdRefresh", "cmdSaveAs"};
    auto shown = [&harness](const QStringList& names) {
        QStringList visible;
        for (const QString& name : names)
            if (harness.find(name.toLatin1().constData())->isVisible())
                visible << name;
        return visible;
    };
    QCOMPARE(shown(textReport), textReport);
    QVERIFY(!harness.find("chartsPage")->isVisible());
    tabs->setCurrentIndex(1);
    QCOMPARE(shown(textReport), QStringList());
    QVERIFY(harness.find("chartsPage")->isVisible());
    harness.click("Command2"); // the panel keeps its tab while others are shown
    harness.click("Command6");
    QCOMPARE(tabs->currentIndex(), 1);
    tabs->setCurrentIndex(0);
    QCOMPARE(shown(textReport), textReport);
    QVERIFY(!harness.find("chartsPage")->isVisible());
}

void Form1NavigationTest::launchAndWebsiteGoThroughTheLauncher() {
    Form1Harness harness;
    harness.click("Command9");
    QCOMPARE(harness.opened(), QList<QUrl>{QUrl(Form1Harness::kArmory)});
    harness.click("cmdWebsite"); // within the launcher's second: nothing opens
    QCOMPARE(harness.opened().size(), 1);
}

QTEST_MAIN(Form1NavigationTest)
#include "form1_navigation_test.moc"
