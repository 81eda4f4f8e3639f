// Getting the bank log into Text1: importing files, and adding a bank log page shown in the browser.

#include "report/table_export.h"
#include "tests/ui/support/form1_harness.h"
#include "ui/bank_log_panel.h"
#include "ui/stats_table_model.h"

#include <QApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <unistd.h>

namespace coffer {

using test::Form1Harness;

class Form1ImportTest : public QObject {
    Q_OBJECT

  private slots:
    // The text box holds plain text with "\n" between lines, whichever line break was added. What the
    // user types while an import runs is refused: it would land in the middle of the log.
    void importAppendsEveryLineAfterALineBreak_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("text");
        QByteArray lines;
        QString many;
        for (int i = 1; i <= 50000; ++i) {
            lines += "<line " + QByteArray::number(i) + ">\r\n";
            many += QStringLiteral("\n<line %1>").arg(i);
        }
        QTest::newRow("50000 lines, long enough to type into") << QString() << lines << many;
        QTest::newRow("after pasted text") << QStringLiteral("pasted") << QByteArray("first") << "pasted\nfirst";
    }

    void importAppendsEveryLineAfterALineBreak() {
        QFETCH(QString, before);
        QFETCH(QByteArray, file);
        Form1Harness harness;
        auto* text1 = harness.find<QPlainTextEdit>("Text1");
        text1->setPlainText(before);
        QList<bool> readOnly; // at each chance to type while the import runs
        QTimer typist;
        connect(&typist, &QTimer::timeout, this, [&] {
            if (!harness.find("Command8")->isEnabled()) {
                readOnly << text1->isReadOnly();
                QTest::keyClicks(text1, QStringLiteral("typed"));
            }
        });
        typist.start(0);
        QVERIFY(harness.importFile(harness.writeFile(QStringLiteral("log.xml"), file)));
        typist.stop();
        QTEST(text1->toPlainText(), "text");
        QCOMPARE(readOnly, QList<bool>(readOnly.size(), true));
        QVERIFY(!text1->isReadOnly());
        QVERIFY(harness.dialogs().messages.isEmpty());
    }

    // "Analyze now" reads what the box shows, whether that is known from the imports or read back from
    // the box after a change.
    void analysisReadsWhatTheBoxShows_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("imports");
        QTest::addColumn<QString>("typed"); // after the imports
        QTest::newRow("two imports") << QString() << 2 << QString();
        QTest::newRow("after pasted text") << QStringLiteral("pasted") << 1 << QString();
        QTest::newRow("typed after the import") << QString() << 1 << QStringLiteral("typed");
    }

    void analysisReadsWhatTheBoxShows() {
        QFETCH(QString, before);
        QFETCH(int, imports);
        QFETCH(QString, typed);
        Form1Harness harness;
        auto* text1 = harness.find<QPlainTextEdit>("Text1");
        text1->setPlainText(before);
        for (int i = 0; i < imports; ++i)
            QVERIFY(harness.importFile(QStringLiteral(COFFER_EXAMPLES "/sample-banklog.xml")));
        QTest::keyClicks(text1, typed);
        QVERIFY(text1->toPlainText().contains(typed));
        std::string analysed;
        for (const auto& part : harness.find<BankLogPanel>("Frame2")->textUtf8([] {}))
            analysed += *part;
        QCOMPARE(analysed, text1->toPlainText().toStdString());
        // The run joins the parts: its lists are those of the same text read back from the box.
        QVERIFY(harness.analyze());
        const std::string members = TableText(harness.window().memberModel()->table(), TableFormat::Csv);
        text1->setPlainText(text1->toPlainText());
        QVERIFY(harness.analyze());
        QCOMPARE(TableText(harness.window().memberModel()->table(), TableFormat::Csv), members);
    }

    void fileThatCannotBeImportedChangesNothing_data() {
        QTest::addColumn<QString>("answer"); // locked.xml is made in the folder, unreadable
        QTest::addColumn<int>("messages");
        QTest::newRow("cancelled") << QString() << 0;
        QTest::newRow("no such file") << QStringLiteral("/nonexistent/banklog.xml") << 0;
        QTest::newRow("unreadable") << QStringLiteral("locked.xml") << 1;
    }

    void fileThatCannotBeImportedChangesNothing() {
        QFETCH(QString, answer);
        Form1Harness harness;
        if (answer == u"locked.xml") {
            if (::geteuid() == 0)
                QSKIP("the superuser reads any file");
            QFile::setPermissions(answer = harness.writeFile(answer, "secret"), QFileDevice::WriteOwner);
        }
        harness.find<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("kept"));
        QVERIFY(harness.importFile(answer));
        QCOMPARE(harness.find<QPlainTextEdit>("Text1")->toPlainText(), QStringLiteral("kept"));
        QVERIFY(!harness.find<QPlainTextEdit>("Text1")->isReadOnly());
        QTEST(int(harness.dialogs().messages.size()), "messages");
    }

    // Dropped files are imported as "Import File" imports, in order; a file that looks binary asks
    // first, through either way in.
    void droppedFilesAreImportedInOrder_data() {
        QTest::addColumn<QStringList>("files"); // "~" stands for a NUL byte
        QTest::addColumn<bool>("drop");         // else "Import File"
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QList<int>>("imported"); // the files expected in the text, in order
        QTest::addColumn<int>("questions");
        const QStringList binary{"b~n", "two"};
        QTest::newRow("two dropped") << QStringList{"one", "two"} << true << QList<bool>{} << QList<int>{0, 1} << 0;
        QTest::newRow("binary declined") << binary << true << QList<bool>{false} << QList<int>{1} << 1;
        QTest::newRow("binary accepted") << binary << true << QList<bool>{true} << QList<int>{0, 1} << 1;
        QTest::newRow("binary through Import File") << binary << false << QList<bool>{false} << QList<int>{} << 1;
        QTest::newRow("NUL after ?xml") << QStringList{"<?xml~"} << false << QList<bool>{} << QList<int>{0} << 0;
    }

    void droppedFilesAreImportedInOrder() {
        QFETCH(QStringList, files);
        QFETCH(bool, drop);
        QFETCH(QList<int>, imported);
        Form1Harness harness;
        auto* text = harness.find<QPlainTextEdit>("Text1");
        QList<QUrl> urls;
        QString expected;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(harness.writeFile(QString::number(urls.size()) + QStringLiteral(".xml"),
                                                          file.toUtf8().replace('~', '\0')));
        for (int file : imported)
            expected += u'\n' + QString(files[file]).replace(u'~', QChar(0));
        QFETCH(QList<bool>, answers);
        harness.dialogs().confirmAnswers = answers;
        if (drop) {
            QMimeData data;
            data.setUrls(urls);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            // As the window's filter sees a drop on the text box, which would paste the file's address.
            QVERIFY(static_cast<QObject&>(harness.window()).eventFilter(text->viewport(), &event));
        } else {
            QVERIFY(harness.importFile(urls[0].toLocalFile()));
        }
        QCOMPARE(text->toPlainText(), expected);
        QTEST(int(harness.dialogs().questions.size()), "questions");
    }

    // "Add Page" shows for a bank log page in the browser and appends the page's source to the text.
    void bankLogPageCanBeAdded() {
        Form1Harness harness;
        const QByteArray page =
            "<?xml version=\"1.0\"?>\n<page><banklog player=\"Ann\" type=\"4\" money=\"1\"/></page>\n";
        auto* browser = harness.find<QWebEngineView>("WebBrowser1");
        bool loaded = false;
        connect(browser, &QWebEngineView::loadFinished, this, [&loaded](bool ok) { loaded = ok; });
        browser->load(QUrl::fromLocalFile(harness.writeFile(QStringLiteral("guild-bank-log.xml"), page)));
        QVERIFY(test::RunUntil([&loaded] { return loaded; }, 30000));
        QVERIFY(harness.find("cmdAddPage")->isVisible());
        harness.find<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("page one"));
        harness.click("cmdAddPage");
        QVERIFY(test::RunUntil([&harness] { return harness.visiblePanel() == u"Frame2"; }, 30000));
        QCOMPARE(harness.find<QPlainTextEdit>("Text1")->toPlainText(), "page one\n" + QString::fromUtf8(page));
        loaded = false;
        browser->load(QUrl::fromLocalFile(harness.writeFile(QStringLiteral("other.html"), "<p>other</p>")));
        QVERIFY(test::RunUntil([&loaded] { return loaded; }, 30000));
        QVERIFY(!harness.find("cmdAddPage")->isVisible());
    }
};

} // namespace coffer

QTEST_MAIN(coffer::Form1ImportTest)
#include "form1_import_test.moc"
