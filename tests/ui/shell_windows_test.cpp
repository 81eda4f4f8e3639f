// The windows around the main window: the web link launcher, the splash and the About window.

#include "tests/ui/support/form1_harness.h"
#include "ui/about_window.h"
#include "ui/link_launcher.h"
#include "ui/splash_window.h"

#include <QLabel>
#include <QTest>

using namespace coffer;

class ShellWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void launcherAddress_data();
    void launcherAddress();
    void launcherOpensOncePerSecond();
    void launcherIgnoresUnknownKeys();
    void splashOpensTheMainWindowOnceAt150();
    void aboutShowsTheProduct_data();
    void aboutShowsTheProduct();
    void aboutMenuOpensTheAboutWindow();
};

void ShellWindowsTest::launcherAddress_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("website");
    QTest::addColumn<QString>("expected");
    QTest::newRow("host name gets http") << "Website" << "coffer.example" << "http://coffer.example";
    QTest::newRow("https in capitals kept") << "Website" << "HTTPS://coffer.example" << "HTTPS://coffer.example";
    QTest::newRow("http kept") << "Website" << "http://coffer.example/x" << "http://coffer.example/x";
    QTest::newRow("scheme anywhere counts") << "Website" << "see http://a.example" << "see http://a.example";
    QTest::newRow("armory home") << "Armory" << "coffer.example" << "http://armory.example";
    QTest::newRow("unknown key") << "website" << "coffer.example" << QString();
    QTest::newRow("idle key") << "" << "coffer.example" << QString();
}

void ShellWindowsTest::launcherAddress() {
    QFETCH(QString, key);
    QFETCH(QString, website);
    QFETCH(QString, expected);
    QCOMPARE(LauncherAddress(key, website, QStringLiteral("http://armory.example")).value_or(QString()), expected);
}

void ShellWindowsTest::launcherOpensOncePerSecond() {
    QList<QUrl> opened;
    LinkLauncher launcher(QStringLiteral("coffer.example"), QStringLiteral("http://armory.example"),
                          [&opened](const QUrl& url) { opened << url; });
    launcher.request(QStringLiteral("Website"));
    QCOMPARE(launcher.linkKey(), QString());
    launcher.request(QStringLiteral("Armory")); // within the second: nothing opens, the key stays
    QCOMPARE(opened, QList<QUrl>{QUrl("http://coffer.example")});
    QCOMPARE(launcher.linkKey(), QStringLiteral("Armory"));
    QTRY_VERIFY_WITH_TIMEOUT(!launcher.isLoaded(), 5000);
    launcher.request(QStringLiteral("Armory"));
    QCOMPARE(opened, (QList<QUrl>{QUrl("http://coffer.example"), QUrl("http://armory.example")}));
}

void ShellWindowsTest::launcherIgnoresUnknownKeys() {
    QList<QUrl> opened;
    LinkLauncher launcher(QStringLiteral("coffer.example"), QStringLiteral("http://armory.example"),
                          [&opened](const QUrl& url) { opened << url; });
    launcher.request(QStringLiteral("Forum"));
    QVERIFY(opened.isEmpty());
    QCOMPARE(launcher.linkKey(), QStringLiteral("Forum"));
    QVERIFY(launcher.isLoaded()); // the launcher still stays for its second
}

void ShellWindowsTest::splashOpensTheMainWindowOnceAt150() {
    int opened = 0;
    SplashWindow splash([&opened] { ++opened; });
    splash.show();
    QTRY_COMPARE_WITH_TIMEOUT(opened, 1, 10000);
    QCOMPARE(splash.counter(), 150);
    QVERIFY(!splash.isVisible());
}

void ShellWindowsTest::aboutShowsTheProduct_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("patch");
    QTest::addColumn<QString>("version");
    QTest::newRow("1.2.3") << 1 << 2 << 3 << "1.2";
    QTest::newRow("10.0.7") << 10 << 0 << 7 << "10.0";
}

void ShellWindowsTest::aboutShowsTheProduct() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, patch);
    const ProductConfig product{"Coffer", "Coffer Project", "coffer.example", major, minor, patch};
    QList<QUrl> opened;
    LinkLauncher launcher(QStringLiteral("coffer.example"), QStringLiteral("http://armory.example"),
                          [&opened](const QUrl& url) { opened << url; });
    AboutWindow about(product, launcher);
    about.show();
    auto text = [&about](const char* name) { return about.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
    QCOMPARE(about.windowTitle(), QStringLiteral("About Coffer"));
    QCOMPARE(text("Label1"), QStringLiteral("Coffer"));
    QTEST(text("lblVersion"), "version");
    QCOMPARE(text("lblCompany"), QStringLiteral("Coffer Project"));
    QCOMPARE(text("lblWebsite"), QStringLiteral("coffer.example"));
    QCOMPARE(text("Label2"), QStringLiteral("Version:"));
    QCOMPARE(text("Label3"), QStringLiteral("Owned By:"));
    QCOMPARE(text("Label4"), QStringLiteral("Website:"));
    QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("lblWebsite")), Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl("http://coffer.example")});
}

void ShellWindowsTest::aboutMenuOpensTheAboutWindow() {
    test::Form1Harness harness;
    harness.trigger("mnuAbout");
    auto* about = harness.window().findChild<AboutWindow*>(QStringLiteral("frmAbout"));
    QVERIFY(about != nullptr);
    QVERIFY(about->isVisible());
    QVERIFY(!about->isModal());
}

QTEST_MAIN(ShellWindowsTest)
#include "shell_windows_test.moc"
