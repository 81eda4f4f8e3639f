// SPDX-License-Identifier: MIT
// Getting the bank log into Text1: importing files and dropping them on the window.

#include "tests/ui/support/main_window_harness.h"
#include "ui/log/bank_log_panel.h"
#include "ui/log/log_text_box.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <memory>

namespace coffer {

using test::MainWindowHarness;

// The box, with the data it offers for its selection (to the X11 primary selection, to a drag) in view.
struct SelectionBox : LogTextBox {
    using LogTextBox::createMimeDataFromSelection;
};

class MainWindowImportTest : public QObject {
    Q_OBJECT

  private slots:
    // Files come in through "Import File", or dropped on the window in order, each line after a "\n"
    // whichever line break it had; a file that looks binary asks first, Yes or No. What the user types
    // while an import runs is refused: it would land in the middle of the log. The import's progress
    // shows in place of the instructions; its Cancel takes out what it added. The analysis reads what
    // the box shows.
    void filesAreImportedInOrderAfterALineBreak_data() {
        QTest::addColumn<QString>("before");
        // "~" stands for a NUL byte; "!" is a file that is not there, "^" one past 4 GiB (refused with a warning)
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("drop");           // else "Import File" of the first file (none: cancelled)
        QTest::addColumn<QList<bool>>("answers"); // to "Import it anyway?", asked once for each
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cancel"); // as soon as the import lets the window answer
        QString lines, many;
        for (int i = 1; i <= 50000; ++i) {
            lines += QStringLiteral("<line %1>\r\n").arg(i);
            many += QStringLiteral("\n<line %1>").arg(i);
        }
        const QStringList longer{lines.repeated(4)};
        const QList<bool> none;
        const QStringList binary{"b~n", "two"};
        QTest::newRow("50000 lines, long enough to type into")
            << "" << QStringList{lines} << false << none << many << false;
        QTest::newRow("after pasted text")
            << "pasted" << QStringList{"first"} << false << none << "pasted\nfirst" << false;
        QTest::newRow("cancelled") << "kept" << QStringList{} << false << none << "kept" << false;
        QTest::newRow("no such file") << "kept" << QStringList{"!"} << false << none << "kept" << false;
        QTest::newRow("past 4 GiB") << "kept" << QStringList{"^", "one"} << true << none << "kept\none" << false;
        QTest::newRow("two dropped") << "" << QStringList{"one", "two"} << true << none << "\none\ntwo" << false;
        QTest::newRow("binary declined") << "" << binary << true << QList<bool>{false} << "\ntwo" << false;
        QTest::newRow("binary accepted") << "" << binary << true << QList<bool>{true} << "\nb~n\ntwo" << false;
        QTest::newRow("binary through Import File") << "" << binary << false << QList<bool>{false} << "" << false;
        QTest::newRow("NUL after ?xml") << "" << QStringList{"<?xml~"} << false << none << "\n<?xml~" << false;
        QTest::newRow("Cancel after pasted text") << "kept" << longer << false << none << "kept" << true;
        QTest::newRow("Cancel, dropped") << "" << (longer + longer) << true << none << "" << true;
    }

    void filesAreImportedInOrderAfterALineBreak() {
        QFETCH(QString, before);
        QFETCH(QStringList, files);
        QFETCH(bool, drop);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, text);
        QFETCH(bool, cancel);
        MainWindowHarness harness;
        auto* text1 = harness.find<QPlainTextEdit>("Text1");
        text1->setPlainText(before);
        QList<QUrl> urls;
        for (const QString& file : files) {
            const QString name = QString::number(urls.size()) + QStringLiteral(".xml");
            const QString path = file == u"!" ? harness.folder() + u'/' + name
                                              : harness.writeFile(name, file.toUtf8().replace('~', '\0'));
            if (file == u"^")
                QVERIFY(QFile::resize(path, (qint64{4} << 30) + 1)); // sparse: no disk space taken
            urls << QUrl::fromLocalFile(path);
        }
        harness.dialogs().confirmAnswers = answers;
        QList<bool> readOnly; // at each chance to type while the import runs
        QTimer typist;
        connect(&typist, &QTimer::timeout, this, [&] {
            if (!harness.find("Command8")->isEnabled()) {
                readOnly << (text1->isReadOnly() && !harness.find("importProgress")->isHidden() &&
                             harness.find("Label2")->isHidden());
                QTest::keyClicks(text1, QStringLiteral("typed"));
                if (cancel && text1->document()->characterCount() > before.size() + 1) // part of it added
                    harness.click("cmdCancelImport");
            }
        });
        typist.start(0);
        if (drop) {
            QMimeData data;
            data.setUrls(urls);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            // As the window's filter sees a drop on the text box, which would paste the file's address.
            QVERIFY(static_cast<QObject&>(harness.window()).eventFilter(text1->viewport(), &event));
        } else {
            QVERIFY(harness.importFile(urls.isEmpty() ? QString() : urls[0].toLocalFile()));
        }
        typist.stop();
        QCOMPARE(text1->toPlainText(), text.replace(u'~', QChar(0)));
        std::string analysed; // what "Analyze now" reads, known from the imports or read back from the box
        for (const auto& part : harness.find<BankLogPanel>("Frame2")->textUtf8([] { return true; }))
            analysed += *part;
        QCOMPARE(analysed, text.toStdString());
        QCOMPARE(readOnly, QList<bool>(readOnly.size(), true));
        QVERIFY(!text1->isReadOnly() && harness.find("importProgress")->isHidden() &&
                !harness.find("Label2")->isHidden());
        QCOMPARE(harness.dialogs().buttons.count(UserDialogs::Buttons::YesNo), answers.size()); // one each
        QCOMPARE(harness.dialogs().warnings.size(), files.count(u"^"));
        QCOMPARE(harness.dialogs().messages, harness.dialogs().warnings);
    }

    // A large selection is offered as its text only when asked, and not once the text has changed;
    // Copy and Cut copy it at once, so the clipboard keeps it whatever happens to the box next.
    void largeSelectionIsCopiedAtOnceButOfferedOnlyWhenAsked() {
        QString lines;
        for (int i = 0; lines.size() <= kLargeTextChars; ++i)
            lines += QStringLiteral("<banklog n=\"%1\"/>").arg(i) +
                     (i % 32 == 31 ? QChar(u'\n') : QChar(QChar::LineSeparator));
        const QString plain = QString(lines).replace(QChar::LineSeparator, u'\n');
        SelectionBox box;
        box.setPlainText(lines);
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        const std::unique_ptr<QMimeData> offered(box.createMimeDataFromSelection());
        QCOMPARE(offered->text(), plain);
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_Delete);
        QVERIFY(box.toPlainText().isEmpty() && offered->text().isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), plain);

        box.setPlainText(lines);
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(5);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        box.setTextCursor(cursor);
        QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), plain.mid(5));
        QCOMPARE(box.toPlainText(), plain.left(5));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::MainWindowImportTest)
#include "main_window_import_test.moc"
