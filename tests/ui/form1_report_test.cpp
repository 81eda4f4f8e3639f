// The Report panel's "Save As" and "Refresh", after the sample log's analysis.

#include "tests/ui/support/form1_harness.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace coffer {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Rows of the "Most Deposits" section: a number, then the section's phrase.
int MostDepositsRows(const QByteArray& report) {
    return int(QString::fromUtf8(report).count(QRegularExpression(QStringLiteral("\\d deposits - <a href="))));
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
        QCOMPARE(MostDepositsRows(report_), 10);
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

    void refreshWritesTheReportWithTheCurrentLimits() {
        harness_->find<QComboBox>("cmbPlayers")->setCurrentText(QStringLiteral("5"));
        QCOMPARE(MostDepositsRows(writtenReport()), 10); // only Refresh writes the report again
        harness_->click("Command2");
        harness_->click("cmdRefresh");
        QCOMPARE(MostDepositsRows(writtenReport()), 5);
        QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame4"));
        QVERIFY(harness_->dialogs().messages.isEmpty());
    }

    void refreshRefusesALimitThatIsNotANumber() {
        harness_->find<QComboBox>("cmbItems")->setCurrentText(QStringLiteral("25 items"));
        harness_->click("Command2");
        harness_->click("cmdRefresh");
        QCOMPARE(harness_->dialogs().messages.size(), 1);
        QVERIFY(harness_->dialogs().messages[0].contains(u"not a number"));
        QCOMPARE(writtenReport(), report_);
        QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame1"));
    }
};

} // namespace coffer

QTEST_MAIN(coffer::Form1ReportTest)
#include "form1_report_test.moc"
