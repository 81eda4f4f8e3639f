#include "ui/ledger_panel.h"

#include "ledger/ledger_open.h"
#include "ui/engine_text.h"
#include "ui/window_fonts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace coffer {
namespace {

// The quick choices of the period, in the order the box lists them.
enum PeriodChoice { OptionsPeriod, LastWeek, LastMonth, Everything };

template <typename Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

LedgerPanel::LedgerPanel(QWidget* parent) : QGroupBox(QStringLiteral("Guild Ledger"), parent) {
    setObjectName(QStringLiteral("FrameLedger"));
    auto* file = new QHBoxLayout;
    file->addWidget(new QLabel(QStringLiteral("Ledger in use:"), this));
    ledgerNameBox_ = Named(new QLineEdit(this), "txtLedgerFile");
    ledgerNameBox_->setReadOnly(true);
    file->addWidget(ledgerNameBox_, 1);
    newButton_ = Named(new QPushButton(QStringLiteral("New…"), this), "cmdLedgerNew");
    openButton_ = Named(new QPushButton(QStringLiteral("Open…"), this), "cmdLedgerOpen");
    defaultButton_ = Named(new QPushButton(QStringLiteral("Use the Default Ledger"), this), "cmdLedgerDefault");
    connectButton_ = Named(new QPushButton(QStringLiteral("Connect to a shared ledger…"), this), "cmdLedgerConnect");
    refreshButton_ = Named(new QPushButton(QStringLiteral("Refresh"), this), "cmdLedgerRefresh");
    for (QPushButton* button : {refreshButton_, newButton_, openButton_, defaultButton_, connectButton_})
        file->addWidget(button);

    totalsLabel_ = Named(new QLabel(this), "lblLedgerTotals");
    totalsLabel_->setWordWrap(true);
    totalsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* actions = new QHBoxLayout;
    addButton_ = Named(new QPushButton(QStringLiteral("Add the bank log to the ledger"), this), "cmdLedgerAdd");
    analyzeButton_ = Named(new QPushButton(QStringLiteral("Analyze ledger"), this), "cmdLedgerAnalyze");
    periodChoice_ = Named(new QComboBox(this), "cmbLedgerPeriod");
    periodChoice_->addItems({QStringLiteral("The period chosen in Options (Bank Log XML)"),
                             QStringLiteral("The last 7 days, today included"),
                             QStringLiteral("The last 30 days, today included"), QStringLiteral("Everything")});
    progress_ = Named(new QProgressBar(this), "progressLedgerAdd");
    progress_->setFormat(QStringLiteral("Adding: %p%"));
    cancelButton_ = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdLedgerCancel");
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    // The add's progress goes last, so that nothing moves when it shows.
    actions->addWidget(addButton_);
    actions->addSpacing(24);
    actions->addWidget(analyzeButton_);
    actions->addWidget(new QLabel(QStringLiteral("Period:"), this));
    actions->addWidget(periodChoice_);
    actions->addSpacing(24);
    actions->addWidget(progress_, 1);
    actions->addWidget(cancelButton_);
    for (QWidget* shownWhileAdding : std::initializer_list<QWidget*>{progress_, cancelButton_}) {
        QSizePolicy policy = shownWhileAdding->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        shownWhileAdding->setSizePolicy(policy);
    }
    showAdding(false);

    statusLabel_ = Named(new QLabel(this), "lblLedgerStatus");
    statusLabel_->setWordWrap(true);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    pastesCaption_ = new QLabel(this);
    pasteList_ = Named(new QTreeWidget(this), "lstLedgerPastes");
    pasteList_->setRootIsDecorated(false);
    pasteList_->setAlternatingRowColors(true);
    pasteList_->setHeaderLabels({QStringLiteral("Added"), QStringLiteral("Entries"), QStringLiteral("New"),
                                 QStringLiteral("First entry"), QStringLiteral("Last entry"), QStringLiteral("Guild"),
                                 QStringLiteral("File")});
    pasteList_->header()->setStretchLastSection(true);
    gapsCaption_ = new QLabel(this);
    gapList_ = Named(new QListWidget(this), "lstLedgerGaps");

    auto* column = new QVBoxLayout(this);
    column->addLayout(file);
    column->addWidget(totalsLabel_);
    column->addLayout(actions);
    column->addWidget(statusLabel_);
    column->addWidget(pastesCaption_);
    column->addWidget(pasteList_, 3);
    column->addWidget(gapsCaption_);
    column->addWidget(gapList_, 1);
    BoldCaption(this);
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
    default:
        return std::nullopt;
    }
}

void LedgerPanel::showLedger(const QString& file, const LedgerSummary* summary, const QString& note) {
    ledgerNameBox_->setText(file);
    ledgerNameBox_->setToolTip(file);
    // A file is known by its name at the end, a server ledger by its user and host at the start.
    if (IsServerLedger(file.toStdString()))
        ledgerNameBox_->setCursorPosition(0);
    QStringList totals;
    if (summary)
        for (const std::string& line : LedgerTotalsLines(*summary))
            totals << ToQString(line);
    if (!note.isEmpty())
        totals << note;
    totalsLabel_->setText(totals.join(QStringLiteral("     ")));

    pasteList_->clear();
    gapList_->clear();
    const std::size_t pastes = summary ? summary->pastes.size() : 0, gaps = summary ? summary->gaps.size() : 0;
    pastesCaption_->setText(QStringLiteral("Pastes: %1").arg(pastes));
    gapsCaption_->setText(QStringLiteral("Gaps: %1").arg(gaps));
    if (!summary)
        return;
    for (const PasteRecord& paste : summary->pastes) {
        QStringList cells;
        for (const std::string& field : PasteFieldTexts(paste))
            cells << ToQString(field);
        auto* row = new QTreeWidgetItem(pasteList_, cells);
        for (int number : {1, 2})
            row->setTextAlignment(number, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column + 1 < pasteList_->columnCount(); ++column)
        pasteList_->resizeColumnToContents(column);
    for (const TimeGap& gap : summary->gaps)
        gapList_->addItem(ToQString(GapText(gap)));
}

void LedgerPanel::showStatus(const QString& text) {
    statusLabel_->setText(text);
}

QString LedgerPanel::statusText() const {
    return statusLabel_->text();
}

void LedgerPanel::showAdding(bool adding) {
    progress_->setValue(0);
    progress_->setVisible(adding);
    cancelButton_->setVisible(adding);
}

void LedgerPanel::showProgress(int percent) {
    progress_->setValue(percent);
}

void LedgerPanel::enableActions(bool windowBusy, bool ledgerBusy) {
    for (QPushButton* button : {newButton_, openButton_, defaultButton_, connectButton_, refreshButton_})
        button->setEnabled(!ledgerBusy);
    addButton_->setEnabled(!windowBusy && !ledgerBusy);
    analyzeButton_->setEnabled(!windowBusy && !ledgerBusy);
}

} // namespace coffer
