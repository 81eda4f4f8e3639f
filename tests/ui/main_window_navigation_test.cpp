// SPDX-License-Identifier: MIT
// MainWindow's panels: the one shown at start and switching by buttons and menus; the link launcher and the
// About window; the settings kept from one start to the next.

#include "tests/ui/support/main_window_harness.h"
#include "ui/about_window.h"
#include "ui/close_on_signals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <csignal>
#include <unistd.h>

namespace coffer {

using test::MainWindowHarness;

class MainWindowNavigationTest : public QObject {
    Q_OBJECT

  private slots:
    // The window starts on the Browser panel with the quick start page; every route reaches its panel
    // from every other one. Every menu and menu item has an underlined letter of its own; only items of
    // Analyze and Ledger have a shortcut key (after "=").
    void everyButtonAndViewItemShowsItsPanel() {
        MainWindowHarness harness;
        QStringList letters;
        for (QAction* menu : harness.window().menuBar()->actions()) {
            QStringList inMenu;
            for (QAction* item : menu->menu()->actions())
                if (!item->isSeparator())
                    inMenu << QKeySequence::mnemonic(item->text()).toString() +
                                  (item->shortcut().isEmpty() ? QString() : u'=' + item->shortcut().toString());
            letters << QKeySequence::mnemonic(menu->text()).toString() + u':' + inMenu.join(u' ');
        }
        QCOMPARE(letters,
                 (QStringList{"Alt+F:Alt+I Alt+M Alt+T Alt+E Alt+S Alt+A Alt+X", "Alt+V:Alt+A Alt+L Alt+S Alt+R Alt+G",
                              "Alt+N:Alt+N=Ctrl+Return Alt+R Alt+A=Ctrl+Shift+S",
                              "Alt+L:Alt+A Alt+L Alt+R Alt+N Alt+O Alt+C", "Alt+A:Alt+A Alt+V"}));
        QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame1"));
        QTRY_COMPARE(harness.find<QWebEngineView>("WebBrowser1")->url(),
                     QUrl::fromLocalFile(harness.folder() + QStringLiteral("/html/help.html")));
        harness.click("Command9"); // Launch
        QCOMPARE(harness.opened(), QList<QUrl>{QUrl(MainWindowHarness::kArmory)});
        const char* const routes[][2] = {
            {"Command2", "Frame1"},       {"mnuBrowser", "Frame1"}, {"Command4", "Frame2"},
            {"mnuBankLog", "Frame2"},     {"Command5", "Frame3"},   {"mnuBankStats", "Frame3"},
            {"Command6", "Frame4"},       {"mnuReport", "Frame4"},  {"cmdLedger", "FrameLedger"},
            {"mnuLedger", "FrameLedger"}, {"mnuImport", "Frame2"}}; // the import cancelled
        for (const auto& [control, panel] : routes)
            for (const char* start : {"Command4", "Command6", "Command5", "Command2"}) {
                harness.click(start);
                harness.click(control);
                QCOMPARE(harness.visiblePanel(), QLatin1String(panel));
            }
    }

    // Each item of Analyze and Ledger clicks its button, and each shortcut does so where it belongs: F5
    // while the ledger panel shows. Tab goes through the ledger panel as the eye reads it, and out of the
    // bank log box without typing a tab.
    void theKeyboardReachesTheButtons() {
        MainWindowHarness harness;
        harness.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
        harness.click("cmdLedger");
        QVERIFY(harness.ledgerIdle());
        const char* const items[][2] = {{"mnuAnalyzeNow", "cmdAnalyze"},
                                        {"mnuRefreshReport", "cmdRefresh"},
                                        {"mnuSaveAs", "cmdSaveAs"},
                                        {"mnuLedgerAdd", "cmdLedgerAdd"},
                                        {"mnuLedgerAnalyze", "cmdLedgerAnalyze"},
                                        {"mnuLedgerRefresh", "cmdLedgerRefresh"},
                                        {"mnuLedgerNew", "cmdLedgerNew"},
                                        {"mnuLedgerOpen", "cmdLedgerOpen"},
                                        {"mnuLedgerConnect", "cmdLedgerConnect"}};
        for (const auto& [item, button] : items) {
            QSignalSpy clicked(harness.find<QPushButton>(button), &QPushButton::clicked);
            harness.click(item);
            QVERIFY2(clicked.size() == 1 && harness.ledgerIdle(), item);
        }
        const struct {
            const char* panel; // the navigation's button
            const char* focus; // a control of the panel, which has the keyboard
            QKeyCombination key;
            const char* button;
            int clicks;
        } keys[] = {{"Command4", "Text1", Qt::CTRL | Qt::Key_Return, "cmdAnalyze", 1},
                    {"Command6", "cmbPlayers", Qt::CTRL | Qt::SHIFT | Qt::Key_S, "cmdSaveAs", 1},
                    {"cmdLedger", "cmbLedgerPeriod", QKeyCombination(Qt::Key_F5), "cmdLedgerRefresh", 1},
                    {"Command4", "Text1", QKeyCombination(Qt::Key_F5), "cmdLedgerRefresh", 0}};
        for (const auto& [panel, focus, key, button, clicks] : keys) {
            harness.click(panel);
            QSignalSpy clicked(harness.find<QPushButton>(button), &QPushButton::clicked);
            QWidget* control = harness.find<QWidget>(focus);
            control->setFocus();
            QTest::keyClick(control, key.key(), key.keyboardModifiers());
            QVERIFY2(clicked.size() == clicks && harness.ledgerIdle(), qPrintable(QString::number(key.toCombined())));
        }

        harness.click("cmdLedger");
        auto* panel = harness.find<QWidget>("FrameLedger");
        const int listsTop = harness.find<QWidget>("tabLedgerLists")->geometry().top();
        QWidget* at = harness.find<QWidget>("cmdLedgerWhole");
        at->setFocus();
        QStringList order;
        QRect last;
        while (panel->isAncestorOf(at) && at->mapTo(panel, QPoint()).y() < listsTop &&
               !order.contains(at->objectName())) {
            const QRect place(at->mapTo(panel, QPoint()), at->size());
            QVERIFY2(order.isEmpty() || place.top() >= last.bottom() || place.left() > last.right(),
                     qPrintable(at->objectName() + " after " + order.join(u' ')));
            order << at->objectName();
            last = place;
            QTest::keyClick(at, Qt::Key_Tab);
            at = QApplication::focusWidget();
        }
        QCOMPARE(order,
                 (QStringList{"cmdLedgerWhole", "cmdLedgerRefresh", "cmdLedgerNew", "cmdLedgerOpen", "cmdLedgerDefault",
                              "cmdLedgerConnect", "cmdLedgerAdd", "cmdLedgerAnalyze", "cmbLedgerPeriod"}));

        harness.click("Command4");
        harness.setLog("<banklog/>");
        auto* box = harness.find<QPlainTextEdit>("Text1");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(!box->hasFocus());
        QCOMPARE(box->toPlainText(), QStringLiteral("<banklog/>"));
    }

    // About shows major and minor of the version and the licence of LICENSE with its copyright line, and
    // opens the website, once for clicks within a second.
    void aboutShowsTheVersionAndOpensTheWebsite() {
        QList<QUrl> opened;
        LinkLauncher launcher(QStringLiteral("coffer.example"), {}, [&opened](const QUrl& url) { opened << url; });
        AboutWindow about(ProductConfig{.programName = "Coffer",
                                        .companyName = "Coffer Project",
                                        .website = "coffer.example",
                                        .versionMajor = 10,
                                        .versionPatch = 7},
                          launcher);
        about.show();
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("10.0"));
        const QStringList licence =
            QString::fromUtf8(test::ReadAll(QStringLiteral(COFFER_EXAMPLES "/../LICENSE"))).split(u'\n');
        const QString rights = about.findChild<QLabel*>(QStringLiteral("Label5"))->text();
        QVERIFY2(licence.size() > 2 && rights.contains(licence[0]) && rights.contains(licence[2]), qPrintable(rights));
        auto* website = about.findChild<QLabel*>(QStringLiteral("lblWebsite"));
        QTest::mouseClick(website, Qt::LeftButton);
        QTest::mouseClick(website, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl("http://coffer.example")});
        QTRY_VERIFY_WITH_TIMEOUT(!launcher.isLoaded(), 5000);
        QTest::mouseClick(website, Qt::LeftButton);
        QCOMPARE(opened.size(), 2);
    }

    // The choices kept in a settings file of the test's own (the window closed by a SIGTERM), read at
    // the next start; values that cannot be read leave the defaults.
    void settingsAreKeptAcrossStarts_data() {
        QTest::addColumn<bool>("written"); // else the file holds bad values
        QTest::newRow("kept") << true;
        QTest::newRow("bad values") << false;
    }

    void settingsAreKeptAcrossStarts() {
        QFETCH(bool, written);
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("coffer.ini")), QSettings::IniFormat);
        const char* const badValues[][2] = {{"report/playersPerSection", "ten"},    {"report/itemsPerSection", ""},
                                            {"analysis/lookUpItemValues", "maybe"}, {"charts/chartType", "99"},
                                            {"folders/import", "/nonexistent"},     {"window/geometry", "garbage"}};
        if (!written)
            for (const auto& [key, value] : badValues)
                store.setValue(QLatin1String(key), QLatin1String(value));
        MainWindowHarness harness({}, {}, &store); // reads the settings
        const QString logs = harness.folder() + QStringLiteral("/logs");
        if (written) {
            harness.find<QComboBox>("cmbPlayers")->setCurrentText(QStringLiteral("5"));
            harness.find<QComboBox>("cmbItems")->setCurrentText(QStringLiteral("40"));
            harness.find<QCheckBox>("chkLorehold")->setChecked(true);
            emit harness.find<QComboBox>("Combo1")->activated(2);
            QVERIFY(QDir().mkpath(logs) && harness.importFile(harness.writeFile(QStringLiteral("logs/log.xml"), {})));
            CloseWindowsOnSignals(); // as the program does: SIGTERM closes
            ::kill(::getpid(), SIGTERM);
            QTRY_VERIFY(!harness.window().isVisible());
            harness.restart();
        } else {
            harness.window().showAtStart();
        }
        QVERIFY(harness.importFile({})); // cancelled, to see where the dialog starts
        QCOMPARE(harness.dialogs().folders.last(), written ? logs : harness.folder());
        QCOMPARE(harness.find<QComboBox>("cmbPlayers")->currentText(), written ? "5" : "10");
        QCOMPARE(harness.find<QComboBox>("cmbItems")->currentText(), written ? "40" : "25");
        QCOMPARE(harness.find<QCheckBox>("chkLorehold")->isChecked(), written);
        QCOMPARE(harness.find<QComboBox>("Combo1")->currentIndex(), written ? 2 : -1);
        QCOMPARE(harness.window().isMaximized(), !written); // a kept geometry is the window's last one
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowNavigationTest)
#include "main_window_navigation_test.moc"
