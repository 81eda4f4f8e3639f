// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_panel.h"

#include "ui/base/elided_label.h"
#include "ui/base/engine_text.h"
#include "ui/base/named_widget.h"
#include "ui/base/window_fonts.h"
#include "ui/ledger/entries_tab.h"
#include "ui/ledger/ledger_timeline.h"
#include "ui/ledger/rules_tab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

namespace coffer {
namespace {

// The quick choices of the period, in the order the box lists them.
enum PeriodChoice { OptionsPeriod, LastWeek, LastMonth, Everything, ChosenDays };

// The least width of the ledger's name, in which a server's address or a file's folder can be read.
constexpr int kNameWidth = 400;
constexpr int kFileColumn = 6; // of the list of pastes

// A value of the totals ("First entry: 2008-12-01 20:15:00") is never broken between two lines.
QString Unbroken(const std::string& line) {
    return ToQString(line).replace(u' ', QChar::Nbsp);
}

// "File size: 145.3 MiB, and 94.1 MiB of recent writes": the writes not yet moved into the file (its
// write-ahead log and that log's index) apart from the file itself.
QString FileSizeText(std::uint64_t file, std::uint64_t recent) {
    const auto mebibytes = [](std::uint64_t bytes) {
        return QStringLiteral("%1 MiB").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    };
    QString text = QStringLiteral("File size: ") + mebibytes(file);
    if (recent > 0)
        text += QStringLiteral(", and %1 of recent writes").arg(mebibytes(recent));
    return text;
}

} // namespace

LedgerPanel::LedgerPanel(QWidget* parent) : QGroupBox(QStringLiteral("Guild Ledger"), parent) {
    setObjectName(QStringLiteral("FrameLedger"));
    timeline_ = new LedgerTimeline(this);
    wholeButton_ = Named(new QPushButton(QStringLiteral("Whole ledger"), this), "cmdLedgerWhole");
    connect(wholeButton_, &QPushButton::clicked, timeline_, &LedgerTimeline::showWhole);
    connect(timeline_, &LedgerTimeline::daysChosen, this, &LedgerPanel::chooseDays);
    auto* coverage = new QHBoxLayout;
    coverage->addWidget(timeline_, 1);
    coverage->addWidget(wholeButton_, 0, Qt::AlignTop);

    // The name has a row of its own: beside the buttons it would have too little room to be read.
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("Ledger in use:"), this));
    ledgerNameBox_ = Named(new ElidedLabel(this), "txtLedgerFile");
    ledgerNameBox_->setMinimumWidth(kNameWidth);
    name->addWidget(ledgerNameBox_, 1);

    auto* choices = new QHBoxLayout;
    newButton_ = Named(new QPushButton(QStringLiteral("New…"), this), "cmdLedgerNew");
    openButton_ = Named(new QPushButton(QStringLiteral("Open…"), this), "cmdLedgerOpen");
    defaultButton_ = Named(new QPushButton(QStringLiteral("Use the Default Ledger"), this), "cmdLedgerDefault");
    connectButton_ = Named(new QPushButton(QStringLiteral("Connect to a shared ledger…"), this), "cmdLedgerConnect");
    refreshButton_ = Named(new QPushButton(QStringLiteral("Refresh"), this), "cmdLedgerRefresh");
    for (QPushButton* button : {refreshButton_, newButton_, openButton_, defaultButton_, connectButton_})
        choices->addWidget(button);
    choices->addStretch();

    addButton_ = Named(new QPushButton(QStringLiteral("Add the bank log to the ledger"), this), "cmdLedgerAdd");
    progress_ = Named(new QProgressBar(this), "progressLedgerAdd");
    cancelButton_ = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdLedgerCancel");
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    // The add's progress goes after it, so that nothing moves when it shows.
    auto* adding = new QHBoxLayout;
    adding->addWidget(addButton_);
    adding->addWidget(progress_, 1);
    adding->addWidget(cancelButton_);

    analyzeButton_ = Named(new QPushButton(QStringLiteral("Analyze ledger"), this), "cmdLedgerAnalyze");
    periodChoice_ = Named(new QComboBox(this), "cmbLedgerPeriod");
    periodChoice_->addItems({QStringLiteral("The period chosen in Options (Bank Log XML)"),
                             QStringLiteral("The last 7 days, today included"),
                             QStringLiteral("The last 30 days, today included"), QStringLiteral("Everything")});
    auto* analyzing = new QHBoxLayout;
    analyzing->addWidget(analyzeButton_);
    analyzing->addWidget(new QLabel(QStringLiteral("Period:"), this));
    analyzing->addWidget(periodChoice_);
    analyzing->addStretch();
    for (QWidget* shownWhileAdding : std::initializer_list<QWidget*>{progress_, cancelButton_}) {
        QSizePolicy policy = shownWhileAdding->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        shownWhileAdding->setSizePolicy(policy);
    }
    showAdding(false);

    totalsLabel_ = Named(new QLabel(this), "lblLedgerTotals");
    statusLabel_ = Named(new QLabel(this), "lblLedgerStatus");
    for (QLabel* label : {totalsLabel_, statusLabel_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    pasteList_ = Named(new QTreeWidget(this), "lstLedgerPastes");
    pasteList_->setRootIsDecorated(false);
    pasteList_->setAlternatingRowColors(true);
    pasteList_->setHeaderLabels({QStringLiteral("Added"), QStringLiteral("Entries"), QStringLiteral("New"),
                                 QStringLiteral("First entry"), QStringLiteral("Last entry"), QStringLiteral("Guild"),
                                 QStringLiteral("File")});
    pasteList_->header()->setStretchLastSection(true);
    pasteList_->setTextElideMode(Qt::ElideMiddle); // a file is known by its folder and its name
    gapList_ = Named(new QListWidget(this), "lstLedgerGaps");
    // Tabs, so that each list has the panel's whole height and more views of the ledger can join them.
    lists_ = Named(new QTabWidget(this), "tabLedgerLists");
    lists_->addTab(pasteList_, {});
    lists_->addTab(gapList_, {});
    entriesTab_ = Named(new EntriesTab(this), "tabLedgerEntries");
    lists_->addTab(entriesTab_, QStringLiteral("Entries"));
    rulesTab_ = Named(new RulesTab(this), "tabRules");
    lists_->addTab(rulesTab_, QStringLiteral("Rules and alerts"));
    connect(periodChoice_, &QComboBox::currentIndexChanged, this, &LedgerPanel::periodChanged);
    connect(this, &LedgerPanel::periodChanged, this, [this] {
        timeline_->shadeDays(periodChoice_->currentIndex() == ChosenDays ? std::optional(chosenDays_) : std::nullopt);
    });

    auto* column = new QVBoxLayout(this);
    column->addLayout(coverage);
    column->addLayout(name);
    column->addLayout(choices);
    column->addLayout(adding);
    column->addLayout(analyzing);
    column->addWidget(totalsLabel_);
    column->addWidget(statusLabel_);
    column->addWidget(lists_, 1);
    BoldCaption(this);
    // Tab goes as the eye reads: left to right, then down.
    QWidget* previous = timeline_;
    for (QWidget* next :
         std::initializer_list<QWidget*>{wholeButton_, refreshButton_, newButton_, openButton_, defaultButton_,
                                         connectButton_, addButton_, analyzeButton_, periodChoice_, lists_})
        setTabOrder(std::exchange(previous, next), next);
}

std::optional<std::pair<QDate, QDate>> LedgerPanel::period(const std::optional<std::pair<QDate, QDate>>& optionsPeriod,
                                                           const QDate& today) const {
    switch (periodChoice_->currentIndex()) {
    case OptionsPeriod:
        return optionsPeriod;
    case LastWeek:
        return std::pair{today.addDays(-6), today};
    case LastMonth:
        return std::pair{today.addDays(-29), today};
    case ChosenDays:
        return chosenDays_;
    default:
        return std::nullopt;
    }
}

void LedgerPanel::showLedger(const QString& file, const LedgerSummary* summary, const QString& note) {
    ledgerNameBox_->setFullText(file);
    QStringList totals;
    QString sizeTip;
    if (summary) {
        LedgerSummary shown = *summary;
        shown.fileSize.reset(); // in bytes, as coffer-cli prints it: the panel has its own line
        for (const std::string& line : LedgerTotalsLines(shown))
            totals << Unbroken(line);
        if (summary->fileSize) {
            const std::uint64_t recent = summary->recentWrites.value_or(0), file = *summary->fileSize - recent;
            totals << FileSizeText(file, recent).replace(u' ', QChar::Nbsp);
            sizeTip = QStringLiteral("File size: %1 bytes, and %2 bytes of recent writes").arg(file).arg(recent);
        }
    }
    totalsLabel_->setToolTip(sizeTip);
    QString text = totals.join(QStringLiteral("     "));
    if (!note.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + note;
    totalsLabel_->setText(text);

    pasteList_->clear();
    gapList_->clear();
    const std::size_t pastes = summary ? summary->pastes.size() : 0, gaps = summary ? summary->gaps.size() : 0;
    lists_->setTabText(0, QStringLiteral("Pastes: %1").arg(pastes));
    lists_->setTabText(1, QStringLiteral("Gaps: %1").arg(gaps));
    if (!summary)
        return;
    for (const PasteRecord& paste : summary->pastes) {
        QStringList cells;
        for (const std::string& field : PasteFieldTexts(paste))
            cells << ToQString(field);
        auto* row = new QTreeWidgetItem(pasteList_, cells);
        row->setToolTip(kFileColumn, cells.constLast()); // the files' names, which the column may cut
        for (int number : {1, 2})
            row->setTextAlignment(number, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column + 1 < pasteList_->columnCount(); ++column)
        pasteList_->resizeColumnToContents(column);
    for (const TimeGap& gap : summary->gaps)
        gapList_->addItem(ToQString(GapText(gap)));
}

void LedgerPanel::showCoverage(const LedgerSummary* summary, const std::vector<HourCount>& hours) {
    timeline_->showContent(summary ? MakeTimelineContent(*summary, hours) : TimelineContent{});
}

void LedgerPanel::chooseDays(const QDate& first, const QDate& last) {
    chosenDays_ = {first, last};
    const QString text = QStringLiteral("From %1 to %2").arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate));
    if (periodChoice_->count() > ChosenDays)
        periodChoice_->setItemText(ChosenDays, text);
    else
        periodChoice_->addItem(text);
    if (periodChoice_->currentIndex() == ChosenDays)
        emit periodChanged(); // other days under the same choice
    else
        periodChoice_->setCurrentIndex(ChosenDays);
}

void LedgerPanel::choosePeriod(const std::optional<std::pair<QDate, QDate>>& days,
                               const std::optional<std::pair<QDate, QDate>>& optionsPeriod, const QDate& today) {
    if (period(optionsPeriod, today) == days)
        return;
    if (days)
        chooseDays(days->first, days->second);
    else
        periodChoice_->setCurrentIndex(Everything);
}

void LedgerPanel::showEntriesTab() {
    lists_->setCurrentWidget(entriesTab_);
}

void LedgerPanel::showStatus(const QString& text) {
    statusLabel_->setText(text);
}

QString LedgerPanel::statusText() const {
    return statusLabel_->text();
}

void LedgerPanel::showAdding(bool adding) {
    progress_->setFormat(QStringLiteral("Adding: %p%"));
    progress_->setValue(0);
    progress_->setVisible(adding);
    cancelButton_->setEnabled(true);
    cancelButton_->setVisible(adding);
}

void LedgerPanel::showWriting() {
    progress_->setFormat(QStringLiteral("Writing…"));
    progress_->setValue(progress_->maximum());
    cancelButton_->setEnabled(false);
}

void LedgerPanel::showProgress(int percent) {
    progress_->setValue(percent);
}

void LedgerPanel::enableActions(bool windowBusy, bool ledgerBusy, const QString& writeRefusal) {
    for (QPushButton* button : {newButton_, openButton_, defaultButton_, connectButton_, refreshButton_})
        button->setEnabled(!ledgerBusy);
    addButton_->setEnabled(!windowBusy && !ledgerBusy && writeRefusal.isEmpty());
    addButton_->setToolTip(
        writeRefusal.isEmpty() ? QString() : QStringLiteral("This ledger cannot be written: %1").arg(writeRefusal));
    analyzeButton_->setEnabled(!windowBusy && !ledgerBusy);
}

void LedgerPanel::addWatchBox(QWidget* box) {
    auto* column = static_cast<QVBoxLayout*>(layout());
    column->insertWidget(column->indexOf(lists_), box);
    setTabOrder(periodChoice_, box);
    setTabOrder(box, lists_);
}

} // namespace coffer
