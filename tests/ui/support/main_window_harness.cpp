// SPDX-License-Identifier: MIT
#include "tests/ui/support/main_window_harness.h"

#include "tests/support/temp_folder.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <string_view>

namespace coffer::test {

QStringList Shown(const QAbstractItemModel* model, QList<int> columns) {
    for (int column = columns.isEmpty() ? 0 : model->columnCount(); column < model->columnCount(); ++column)
        columns << column;
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column : columns)
            cells << model->index(row, column).data().toString();
        rows << cells.join(u'\t');
    }
    return rows;
}

QByteArray ReadAll(const QString& path) {
    return QByteArray::fromStdString(coffer::testing::ReadFile(path.toStdString()));
}

MainWindowHarness::MainWindowHarness(MainWindowServices extra, const QString& programFolder, QSettings* store,
                                     const QString& browserFolder)
    : launcher_(QStringLiteral("coffer.example"), QString::fromLatin1(kArmory),
                [this](const QUrl& url) { opened_ << url; }) {
    const ProductConfig product = LoadProductConfig();
    const QString program = programFolder.isEmpty() ? dir_.path() : programFolder;
    settings_ = {.product = product,
                 .makerWebsite = product.website,
                 .programFolder = program.toStdString(),
                 .workFolder = dir_.path().toStdString(),
                 .armoryBase = kArmory,
                 .itemDatabaseBase = kItemDatabase,
                 .store = store,
                 .defaultLedger = dir_.filePath("ledger.sqlite").toStdString(),
                 .browserProfile = browserFolder.toStdString(),
                 .watchLines = dir_.filePath("watch-lines.txt").toStdString(),
                 .alertWebhook = dir_.filePath("alert-webhook.txt").toStdString()};
    extra.dialogs = &dialogs_;
    extra.launcher = &launcher_;
    services_ = std::move(extra);
    window_ = std::make_unique<MainWindow>(settings_, services_);
    window_->resize(1280, 800);
    window_->show();
}

bool MainWindowHarness::restart(const std::function<bool()>& closed) {
    window_->close();
    window_.reset(); // its browser's profile, whose folder the next one opens
    const bool held = !closed || RunUntil(closed, 30000);
    window_ = std::make_unique<MainWindow>(settings_, services_);
    window_->showAtStart();
    return held;
}

QString MainWindowHarness::writeFile(const QString& name, const QByteArray& content) const {
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void MainWindowHarness::click(const char* name) const {
    if (auto* button = find<QAbstractButton>(name))
        button->click();
    else if (auto* action = window_->findChild<QAction*>(QString::fromLatin1(name)))
        action->trigger();
    else
        qFatal("no button or menu item %s", name);
}

QString MainWindowHarness::visiblePanel() const {
    QStringList shown;
    for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame4", "FrameLedger"})
        if (find(name)->isVisible())
            shown << QString::fromLatin1(name);
    return shown.join(u'+');
}

void MainWindowHarness::setLog(const std::string& text) const {
    find<QPlainTextEdit>("Text1")->setPlainText(QString::fromStdString(text));
}

QString MainWindowHarness::status() const {
    return find<QLabel>("StatusBar1Panel1")->text();
}

bool MainWindowHarness::importFile(const QString& path) {
    dialogs_.openAnswers << path;
    click("Command8"); // the import runs to its end inside the click
    return find<QAbstractButton>("Command8")->isEnabled();
}

std::string DepositsPage(const std::vector<std::pair<std::string, qint64>>& deposits) {
    std::string text = "<?xml version=\"1.0\"?>\n<page><guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
    for (const auto& [player, ts] : deposits)
        text += "<banklog money=\"100\" player=\"" + player + "\" rank=\"1\" ts=\"" + std::to_string(ts) +
                "\" type=\"4\"/>\n";
    return text + "</page>\n";
}

std::string DepositsPage(const std::string& player, qint64 newest) {
    return DepositsPage({{player, newest}, {player, newest - 60000}});
}

bool MainWindowHarness::ledgerIdle() const {
    auto* button = find<QAbstractButton>("cmdLedgerAnalyze");
    return RunUntil([button] { return button->isEnabled(); }, 60000);
}

bool MainWindowHarness::addToLedger(const std::string& log) const {
    setLog(log);
    click("cmdLedgerAdd");
    return ledgerIdle();
}

bool MainWindowHarness::chooseLedger(const char* button, const QString& ledger) {
    const std::string_view name(button);
    (name == "cmdLedgerNew"    ? dialogs_.saveAnswers
     : name == "cmdLedgerOpen" ? dialogs_.openAnswers
                               : dialogs_.sharedLedgerAnswers)
        << ledger;
    click(button);
    return ledgerIdle();
}

bool MainWindowHarness::analyze(int timeoutMs) {
    auto* analyzeButton = find<QAbstractButton>("cmdAnalyze");
    if (!analyzeButton->isEnabled())
        return false;
    analyzeButton->click();
    return RunUntil([analyzeButton] { return analyzeButton->isEnabled(); }, timeoutMs);
}

bool MainWindowHarness::analyzeSampleLog() {
    return importFile(QStringLiteral(COFFER_EXAMPLES "/sample-banklog.xml")) && analyze();
}

} // namespace coffer::test
