// The Report panel's "Save As" and "Refresh", after the sample log's analysis.

#include "tests/ui/support/form1_harness.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>

namespace coffer {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The most rows any member section, or any item section (its rows link to item searches), holds;
// the NINJA LIST has no limit.
int LongestSection(const QByteArray& report, bool items) {
    int longest = 0;
    const QStringList sections =
        QString::fromUtf8(report).split(QStringLiteral("<font color="), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    for (const QString& section : sections.mid(1))
        if (section.contains(u"?search=") == items && !section.contains(u"NINJA LIST"))
            longest = std::max(longest, int(section.count(u"<img src=")));
    return longest;
}

} // namespace

class Form1ReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Form1Harness> harness_;
    QByteArray report_;
    QByteArray writtenReport() const { return ReadAll(harness_->folder() + QStringLiteral("/report.html")); }

  private slots:
    void init() {
        harness_ = std::make_unique<test::Form1Harness>();
        QVERIFY(harness_->importFile(QStringLiteral(COFFER_EXAMPLES "/sample-banklog.xml")));
        QVERIFY(harness_->analyze(60000));
        report_ = writtenReport();
        QCOMPARE(LongestSection(report_, false), 10);
        QCOMPARE(LongestSection(report_, true), 25);
    }
    void cleanup() { harness_.reset(); }

    void saveAs_data() {
        QTest::addColumn<QString>("chosen"); // in the dialog; blank: cancelled
        QTest::addColumn<bool>("existing");  // summary.htm is there already
        QTest::addColumn<bool>("overwrite"); // the answer to the overwrite question
        QTest::addColumn<QString>("saved");  // the file the report is copied to, if any
        const char* const rows[][5] = {{"no extension gets .htm", "summary", "", "", "summary.htm"},
                                       {"HTML in capitals kept", "Report.HTML", "", "", "Report.HTML"},
                                       {".htm inside the name", "notes.htm.txt", "", "", "notes.htm.txt"},
                                       {"overwrite answered Cancel", "summary.htm", "y", "", ""},
                                       {"overwrite answered OK", "summary.htm", "y", "y", "summary.htm"},
                                       {"asked about the name with .htm", "summary", "y", "", ""},
                                       {"dialog cancelled", "", "y", "y", ""},
                                       {"a single space is a cancel", " ", "y", "y", ""}};
        for (const auto& [name, chosen, existing, overwrite, saved] : rows)
            QTest::newRow(name) << chosen << (*existing == 'y') << (*overwrite == 'y') << saved;
    }

    void saveAs() {
        QFETCH(QString, chosen);
        QFETCH(bool, existing);
        QFETCH(bool, overwrite);
        QFETCH(QString, saved);
        const QString folder = harness_->folder() + QStringLiteral("/saved/"); // away from the report's own name
        QVERIFY(QDir().mkpath(folder));
        if (existing)
            harness_->writeFile(QStringLiteral("saved/summary.htm"), "old notes");
        const bool answered = !chosen.trimmed().isEmpty();
        harness_->dialogs().saveAnswers << (answered ? folder + chosen : chosen);
        harness_->dialogs().confirmAnswers << overwrite;
        harness_->click("cmdSaveAs");
        QStringList files{saved, existing ? QStringLiteral("summary.htm") : QString()};
        files.removeAll(QString());
        files.removeDuplicates();
        QCOMPARE(QDir(folder).entryList(QDir::Files), files);
        QCOMPARE(ReadAll(folder + (existing ? QStringLiteral("summary.htm") : saved)),
                 saved.isEmpty() ? QByteArray("old notes") : report_);
        QCOMPARE(harness_->dialogs().questions.size(), existing && answered ? 1 : 0);
        QVERIFY(harness_->dialogs().messages.isEmpty());
    }

    // The limits are typed into the boxes as a user would; a box never completes what was typed.
    void refreshUsesTheLimitsAsTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("players"); // the longest sections of the report afterwards
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("message");
        const QString range = QStringLiteral(" per section from 0 to 32767.");
        QTest::newRow("an entry") << "cmbPlayers"
                                  << "5" << 5 << 25 << QString();
        QTest::newRow("players not completed") << "cmbPlayers"
                                               << "3" << 3 << 25 << QString();
        QTest::newRow("items not completed") << "cmbItems"
                                             << "2" << 10 << 2 << QString();
        QTest::newRow("not a number") << "cmbItems"
                                      << "25 items" << 10 << 25
                                      << "\"25 items\" is not a number. Please enter a whole number of items per "
                                         "section.";
        QTest::newRow("too large") << "cmbPlayers"
                                   << "100000" << 10 << 25
                                   << "\"100000\" is out of range. Please enter a whole number of players" + range;
        QTest::newRow("negative") << "cmbItems"
                                  << "-1" << 10 << 25
                                  << "\"-1\" is out of range. Please enter a whole number of items" + range;
    }

    void refreshUsesTheLimitsAsTyped() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(int, players);
        QFETCH(int, items);
        QFETCH(QString, message);
        harness_->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&harness_->window()));
        auto* limit = harness_->find<QComboBox>(box.toLatin1().constData());
        limit->setFocus();
        QTest::keyClick(limit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(limit, typed);
        harness_->find("cmdRefresh")->setFocus(); // leaves the box
        QCOMPARE(limit->currentText(), typed);
        QCOMPARE(writtenReport(), report_); // only Refresh writes the report again
        harness_->click("Command2");
        harness_->click("cmdRefresh");
        QCOMPARE(harness_->dialogs().messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(LongestSection(writtenReport(), false), players);
        QCOMPARE(LongestSection(writtenReport(), true), items);
        if (!message.isEmpty())
            QCOMPARE(writtenReport(), report_);
        QCOMPARE(harness_->visiblePanel(), message.isEmpty() ? QStringLiteral("Frame4") : QStringLiteral("Frame1"));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::Form1ReportTest)
#include "form1_report_test.moc"
