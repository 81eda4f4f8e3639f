// Getting the bank log into Text1: importing files, and adding a bank log page shown in the browser.

#include "tests/ui/support/form1_harness.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>
#include <unistd.h>

using namespace coffer;
using test::Form1Harness;

class Form1ImportTest : public QObject {
    Q_OBJECT
private slots:
    void importAppendsEveryLineAfterALineBreak_data();
    void importAppendsEveryLineAfterALineBreak();
    void importKeepsWhatIsThere();
    void cancelledOrMissingFileChangesNothing_data();
    void cancelledOrMissingFileChangesNothing();
    void unreadableFileIsReported();
    void fileMenuImportShowsTheBankLogPanel();
    void bankLogPageCanBeAdded();
};

namespace {

QString Text1(const Form1Harness& harness) { return harness.find<QPlainTextEdit>("Text1")->toPlainText(); }

QByteArray Lines(int count) {
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "<line " + QByteArray::number(i) + ">\r\n";
    return text;
}

} // namespace

// The text box holds plain text with "\n" between lines, whichever line break was added.
void Form1ImportTest::importAppendsEveryLineAfterALineBreak_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("three lines") << QByteArray("one\r\ntwo\r\nthree\r\n") << "\none\ntwo\nthree";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("line feeds only: one line") << QByteArray("one\ntwo\n") << "\none\ntwo\n";
    QString many;
    for (int i = 1; i <= 250; ++i)
        many += QStringLiteral("\n<line %1>").arg(i);
    QTest::newRow("250 lines") << Lines(250) << many;
}

void Form1ImportTest::importAppendsEveryLineAfterALineBreak() {
    QFETCH(QByteArray, file);
    Form1Harness harness;
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), file)));
    QTEST(Text1(harness), "text");
    QVERIFY(harness.find<QPushButton>("cmdAnalyze")->isEnabled());
    QVERIFY(harness.dialogs().messages.isEmpty());
}

void Form1ImportTest::importKeepsWhatIsThere() {
    Form1Harness harness;
    harness.find<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("pasted"));
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("a.xml"), "first\r\n")));
    QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("b.xml"), "second")));
    QCOMPARE(Text1(harness), QStringLiteral("pasted\nfirst\nsecond"));
}

void Form1ImportTest::cancelledOrMissingFileChangesNothing_data() {
    QTest::addColumn<QString>("answer");
    QTest::newRow("cancelled") << QString();
    QTest::newRow("no such file") << QStringLiteral("/nonexistent/banklog.xml");
    QTest::newRow("a folder") << QStringLiteral("/tmp");
}

void Form1ImportTest::cancelledOrMissingFileChangesNothing() {
    QFETCH(QString, answer);
    Form1Harness harness;
    harness.find<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("kept"));
    QVERIFY(harness.importFile(answer));
    QCOMPARE(Text1(harness), QStringLiteral("kept"));
    QVERIFY(harness.dialogs().messages.isEmpty());
}

void Form1ImportTest::unreadableFileIsReported() {
    if (::geteuid() == 0)
        QSKIP("the superuser reads any file");
    Form1Harness harness;
    const QString path = harness.writeFile(QStringLiteral("locked.xml"), "secret");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    QVERIFY(harness.importFile(path));
    QCOMPARE(Text1(harness), QString());
    QCOMPARE(harness.dialogs().messages.size(), 1);
    QVERIFY(harness.dialogs().messages[0].contains(u"could not be read"));
}

void Form1ImportTest::fileMenuImportShowsTheBankLogPanel() {
    Form1Harness harness;
    harness.dialogs().openAnswers << harness.writeFile(QStringLiteral("log.xml"), "x\r\ny");
    harness.trigger("mnuImport");
    QCOMPARE(harness.visiblePanel(), QStringLiteral("Frame2"));
    QCOMPARE(Text1(harness), QStringLiteral("\nx\ny"));
}

void Form1ImportTest::bankLogPageCanBeAdded() {
    Form1Harness harness;
    const QByteArray page = "<?xml version=\"1.0\"?>\n<page><banklog player=\"Ann\" type=\"4\" money=\"10000\"/></page>\n";
    const QString path = harness.writeFile(QStringLiteral("guild-bank-log.xml"), page);
    auto* addPage = harness.find<QPushButton>("cmdAddPage");
    auto* browser = harness.find<QWebEngineView>("WebBrowser1");
    bool loaded = false;
    connect(browser, &QWebEngineView::loadFinished, this, [&loaded](bool ok) { loaded = ok; });
    browser->load(QUrl::fromLocalFile(path));
    QVERIFY(test::RunUntil([&loaded] { return loaded; }, 30000));
    QVERIFY(addPage->isVisible());
    harness.find<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("page one"));
    addPage->click();
    QVERIFY(test::RunUntil([&harness] { return harness.visiblePanel() == u"Frame2"; }, 30000));
    QCOMPARE(Text1(harness), QStringLiteral("page one\n") + QString::fromUtf8(page));

    loaded = false;
    browser->load(QUrl::fromLocalFile(harness.writeFile(QStringLiteral("other.html"), "<p>other</p>")));
    QVERIFY(test::RunUntil([&loaded] { return loaded; }, 30000));
    QVERIFY(!addPage->isVisible());
}

QTEST_MAIN(Form1ImportTest)
#include "form1_import_test.moc"
