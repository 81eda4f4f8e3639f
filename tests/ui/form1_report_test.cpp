// The Report panel's "Refresh" and "Save As".

#include "banklog_generator.h"
#include "tests/ui/support/form1_harness.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace coffer;
using test::Form1Harness;

class Form1ReportTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveAsNames_data();
    void saveAsNames();
    void overwriteIsAskedFirst_data();
    void overwriteIsAskedFirst();
    void saveAsWithoutAReportSaysSo();
    void refreshUsesTheCurrentLimits();
    void refreshRefusesALimitThatIsNotANumber_data();
    void refreshRefusesALimitThatIsNotANumber();

private:
    std::unique_ptr<Form1Harness> harness_;
    QByteArray report_;
};

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

// Each test starts from an analysed log and its written report.
void Form1ReportTest::init() {
    harness_ = std::make_unique<Form1Harness>();
    bench::BankLogGeneratorOptions options;
    options.entry_count = 800;
    options.member_count = 40;
    options.item_count = 60;
    QVERIFY(harness_->importFile(
        harness_->writeFile(QStringLiteral("log.xml"), QByteArray::fromStdString(bench::GenerateBankLog(options)))));
    QVERIFY(harness_->analyze(60000));
    report_ = ReadAll(harness_->folder() + QStringLiteral("/report.html"));
    QVERIFY(!report_.isEmpty());
}

void Form1ReportTest::cleanup() { harness_.reset(); }

void Form1ReportTest::saveAsNames_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension") << "summary" << "summary.htm";
    QTest::newRow("HTML in capitals") << "Report.HTML" << "Report.HTML";
    QTest::newRow("html") << "page.html" << "page.html";
    QTest::newRow(".htm inside the name") << "notes.htm.txt" << "notes.htm.txt";
}

void Form1ReportTest::saveAsNames() {
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    const QString folder = harness_->folder() + QStringLiteral("/saved/"); // away from the report's own name
    QVERIFY(QDir().mkpath(folder));
    harness_->dialogs().saveAnswers << folder + chosen;
    harness_->click("cmdSaveAs");
    QCOMPARE(ReadAll(folder + saved), report_);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{saved});
    QVERIFY(harness_->dialogs().messages.isEmpty());
    QVERIFY(harness_->dialogs().questions.isEmpty());
}

void Form1ReportTest::overwriteIsAskedFirst_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("cancel keeps the file") << "summary.htm" << false;
    QTest::newRow("ok replaces it") << "summary.htm" << true;
    QTest::newRow("asked about the name with .htm") << "summary" << false;
    QTest::newRow("dialog cancelled") << "" << false;
    QTest::newRow("a single space is a cancel") << " " << false;
}

void Form1ReportTest::overwriteIsAskedFirst() {
    QFETCH(QString, answer);
    QFETCH(bool, overwrite);
    const QString existing = harness_->writeFile(QStringLiteral("summary.htm"), "old notes");
    const bool dialogAnswered = !answer.trimmed().isEmpty();
    harness_->dialogs().saveAnswers << (dialogAnswered ? harness_->folder() + u'/' + answer : answer);
    harness_->dialogs().confirmAnswers << overwrite;
    harness_->click("cmdSaveAs");
    QCOMPARE(ReadAll(existing), overwrite ? report_ : QByteArray("old notes"));
    QCOMPARE(harness_->dialogs().questions,
             dialogAnswered ? QStringList{"File already exists.  Are you sure you want to overwrite it?"} : QStringList{});
    QVERIFY(harness_->dialogs().messages.isEmpty());
}

void Form1ReportTest::saveAsWithoutAReportSaysSo() {
    QFile::remove(harness_->folder() + QStringLiteral("/report.html"));
    harness_->dialogs().saveAnswers << harness_->folder() + QStringLiteral("/copy.htm");
    harness_->click("cmdSaveAs");
    QCOMPARE(harness_->dialogs().messages.size(), 1);
    QVERIFY(harness_->dialogs().messages[0].contains(u"no report"));
    QVERIFY(!QFile::exists(harness_->folder() + QStringLiteral("/copy.htm")));
}

void Form1ReportTest::refreshUsesTheCurrentLimits() {
    QCOMPARE(MostDepositsRows(report_), 10);
    harness_->find<QComboBox>("cmbPlayers")->setCurrentText(QStringLiteral("5"));
    QCOMPARE(MostDepositsRows(ReadAll(harness_->folder() + QStringLiteral("/report.html"))), 10);
    harness_->click("Command2");
    harness_->click("cmdRefresh");
    QCOMPARE(MostDepositsRows(ReadAll(harness_->folder() + QStringLiteral("/report.html"))), 5);
    QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame4"));
    QVERIFY(harness_->dialogs().messages.isEmpty());
}

void Form1ReportTest::refreshRefusesALimitThatIsNotANumber_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("limit");
    QTest::newRow("players empty") << "cmbPlayers" << "";
    QTest::newRow("players text") << "cmbPlayers" << "ten";
    QTest::newRow("items text") << "cmbItems" << "25 items";
}

void Form1ReportTest::refreshRefusesALimitThatIsNotANumber() {
    QFETCH(QString, box);
    QFETCH(QString, limit);
    harness_->find<QComboBox>(box.toLatin1().constData())->setCurrentText(limit);
    harness_->click("Command2");
    harness_->click("cmdRefresh");
    QCOMPARE(harness_->dialogs().messages.size(), 1);
    QVERIFY(harness_->dialogs().messages[0].contains(u"not a number"));
    QCOMPARE(ReadAll(harness_->folder() + QStringLiteral("/report.html")), report_);
    QCOMPARE(harness_->visiblePanel(), QStringLiteral("Frame1"));
}

QTEST_MAIN(Form1ReportTest)
#include "form1_report_test.moc"
