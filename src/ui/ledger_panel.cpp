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
    txtFile_ = Named(new QLineEdit(this), "txtLedgerFile");
    txtFile_->setReadOnly(true);
    file->addWidget(txtFile_, 1);
    cmdNew_ = Named(new QPushButton(QStringLiteral("New…"), this), "cmdLedgerNew");
    cmdOpen_ = Named(new QPushButton(QStringLiteral("Open…"), this), "cmdLedgerOpen");
    cmdDefault_ = Named(new QPushButton(QStringLiteral("Use the Default Ledger"), this), "cmdLedgerDefault");
    cmdConnect_ = Named(new QPushButton(QStringLiteral("Connect to a shared ledger…"), this), "cmdLedgerConnect");
    cmdRefresh_ = Named(new QPushButton(QStringLiteral("Refresh"), this), "cmdLedgerRefresh");
    for (QPushButton* button : {cmdRefresh_, cmdNew_, cmdOpen_, cmdDefault_, cmdConnect_})
        file->addWidget(button);

    lblTotals_ = Named(new QLabel(this), "lblLedgerTotals");
    lblTotals_->setWordWrap(true);
    lblTotals_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* actions = new QHBoxLayout;
    cmdAdd_ = Named(new QPushButton(QStringLiteral("Add the bank log to the ledger"), this), "cmdLedgerAdd");
    cmdAnalyze_ = Named(new QPushButton(QStringLiteral("Analyze ledger"), this), "cmdLedgerAnalyze");
    cmbPeriod_ = Named(new QComboBox(this), "cmbLedgerPeriod");
    cmbPeriod_->addItems({QStringLiteral("The period chosen in Options (Bank Log XML)"),
                          QStringLiteral("The last 7 days, today included"),
                          QStringLiteral("The last 30 days, today included"), QStringLiteral("Everything")});
    progress_ = Named(new QProgressBar(this), "progressLedgerAdd");
    progress_->setFormat(QStringLiteral("Adding: %p%"));
    cmdCancel_ = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdLedgerCancel");
    cmdCancel_->setFocusPolicy(Qt::NoFocus);
    // The add's progress goes last, so that nothing moves when it shows.
    actions->addWidget(cmdAdd_);
    actions->addSpacing(24);
    actions->addWidget(cmdAnalyze_);
    actions->addWidget(new QLabel(QStringLiteral("Period:"), this));
    actions->addWidget(cmbPeriod_);
    actions->addSpacing(24);
    actions->addWidget(progress_, 1);
    actions->addWidget(cmdCancel_);
    for (QWidget* shownWhileAdding : std::initializer_list<QWidget*>{progress_, cmdCancel_}) {
        QSizePolicy policy = shownWhileAdding->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        shownWhileAdding->setSizePolicy(policy);
    }
    showAdding(false);

    lblStatus_ = Named(new QLabel(this), "lblLedgerStatus");
    lblStatus_->setWordWrap(true);
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    lblPastes_ = new QLabel(this);
    lstPastes_ = Named(new QTreeWidget(this), "lstLedgerPastes");
    lstPastes_->setRootIsDecorated(false);
    lstPastes_->setAlternatingRowColors(true);
    lstPastes_->setHeaderLabels({QStringLiteral("Added"), QStringLiteral("Entries"), QStringLiteral("New"),
                                 QStringLiteral("First entry"), QStringLiteral("Last entry"), QStringLiteral("Guild"),
                                 QStringLiteral("File")});
    lstPastes_->header()->setStretchLastSection(true);
    lblGaps_ = new QLabel(this);
    lstGaps_ = Named(new QListWidget(this), "lstLedgerGaps");

    auto* column = new QVBoxLayout(this);
    column->addLayout(file);
    column->addWidget(lblTotals_);
    column->addLayout(actions);
    column->addWidget(lblStatus_);
    column->addWidget(lblPastes_);
    column->addWidget(lstPastes_, 3);
    column->addWidget(lblGaps_);
    column->addWidget(lstGaps_, 1);
    BoldCaption(this);
}

std::optional<std::pair<QDate, QDate>> LedgerPanel::period(const std::optional<std::pair<QDate, QDate>>& optionsPeriod,
                                                           const QDate& today) const {
    switch (cmbPeriod_->currentIndex()) {
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
    txtFile_->setText(file);
    txtFile_->setToolTip(file);
    // A file is known by its name at the end, a server ledger by its user and host at the start.
    if (IsServerLedger(file.toStdString()))
        txtFile_->setCursorPosition(0);
    QStringList totals;
    if (summary)
        for (const std::string& line : LedgerTotalsLines(*summary))
            totals << Qs(line);
    if (!note.isEmpty())
        totals << note;
    lblTotals_->setText(totals.join(QStringLiteral("     ")));

    lstPastes_->clear();
    lstGaps_->clear();
    const std::size_t pastes = summary ? summary->pastes.size() : 0, gaps = summary ? summary->gaps.size() : 0;
    lblPastes_->setText(QStringLiteral("Pastes: %1").arg(pastes));
    lblGaps_->setText(QStringLiteral("Gaps: %1").arg(gaps));
    if (!summary)
        return;
    for (const PasteRecord& paste : summary->pastes) {
        QStringList cells;
        for (const std::string& field : PasteFieldTexts(paste))
            cells << Qs(field);
        auto* row = new QTreeWidgetItem(lstPastes_, cells);
        for (int number : {1, 2})
            row->setTextAlignment(number, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column + 1 < lstPastes_->columnCount(); ++column)
        lstPastes_->resizeColumnToContents(column);
    for (const TimeGap& gap : summary->gaps)
        lstGaps_->addItem(Qs(GapText(gap)));
}

void LedgerPanel::showStatus(const QString& text) {
    lblStatus_->setText(text);
}

QString LedgerPanel::statusText() const {
    return lblStatus_->text();
}

void LedgerPanel::showAdding(bool adding) {
    progress_->setValue(0);
    progress_->setVisible(adding);
    cmdCancel_->setVisible(adding);
}

void LedgerPanel::showProgress(int percent) {
    progress_->setValue(percent);
}

void LedgerPanel::enableActions(bool windowBusy, bool ledgerBusy) {
    for (QPushButton* button : {cmdNew_, cmdOpen_, cmdDefault_, cmdConnect_, cmdRefresh_})
        button->setEnabled(!ledgerBusy);
    cmdAdd_->setEnabled(!windowBusy && !ledgerBusy);
    cmdAnalyze_->setEnabled(!windowBusy && !ledgerBusy);
}

} // namespace coffer
