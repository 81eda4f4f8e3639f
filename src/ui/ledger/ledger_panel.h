// SPDX-License-Identifier: MIT
#pragma once
// The Guild Ledger panel: the time line of what the ledger covers, the ledger in use (New…, Open…, the
// default, a shared ledger on a server, and Refresh to read it again), "Add the bank log to the ledger"
// with the add's progress and "Cancel", "Analyze ledger" with the period to analyse (the time line can
// choose it), then the ledger's totals and notices, and its lists (the pastes, the gaps between them,
// the entries, the rules and the alerts they fired) on tabs. The buttons stand above everything whose height
// changes, so that a notice of two lines never moves them.

#include "ledger/ledger_file.h"

#include <QDate>
#include <QGroupBox>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace coffer {

class ElidedLabel;
class LedgerTimeline;
class EntriesTab;
class RulesTab;

class LedgerPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit LedgerPanel(QWidget* parent = nullptr);

    QPushButton* newButton() const { return newButton_; }
    QPushButton* openButton() const { return openButton_; }
    QPushButton* defaultButton() const { return defaultButton_; }
    QPushButton* connectButton() const { return connectButton_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* analyzeButton() const { return analyzeButton_; }
    EntriesTab* entriesTab() const { return entriesTab_; }
    void showEntriesTab();
    RulesTab* rulesTab() const { return rulesTab_; }

    // The days to analyse, both included: the chosen quick choice ending `today`, the days chosen on the
    // time line, or the period of the Options frame (`optionsPeriod`); none for every entry.
    std::optional<std::pair<QDate, QDate>> period(const std::optional<std::pair<QDate, QDate>>& optionsPeriod,
                                                  const QDate& today) const;

    // The ledger in use and what it holds; no summary: nothing to list (no file yet, or not readable).
    void showLedger(const QString& file, const LedgerSummary* summary, const QString& note);
    // The time line of the pastes and gaps of `summary` (none: nothing) and of the entries per hour.
    void showCoverage(const LedgerSummary* summary, const std::vector<HourCount>& hours);
    // Chooses these days as the period to analyse, as an entry of its own ("From DAY to DAY").
    void chooseDays(const QDate& first, const QDate& last);
    // Chooses these days, or everything (none), unless the choice in place gives them already.
    void choosePeriod(const std::optional<std::pair<QDate, QDate>>& days,
                      const std::optional<std::pair<QDate, QDate>>& optionsPeriod, const QDate& today);
    void showStatus(const QString& text);
    QString statusText() const;
    // While an add runs its progress and "Cancel" show beside the buttons.
    void showAdding(bool adding);
    void showProgress(int percent);
    // The add's commit is under way, which nothing stops: "Writing…", and Cancel disabled.
    void showWriting();
    // The ledger's buttons: `windowBusy` while an import, a run or an add is going, `ledgerBusy` while
    // the ledger is being read or added to; `writeRefusal` says why the ledger in use cannot be written
    // ("" when it can, or when that is not known before an add), which disables the add.
    void enableActions(bool windowBusy, bool ledgerBusy, const QString& writeRefusal);
    // The watch of the bank log page shows above the lists.
    void addWatchBox(QWidget* box);

  signals:
    void periodChanged();

  private:
    LedgerTimeline* timeline_;
    QPushButton* wholeButton_;
    ElidedLabel* ledgerNameBox_;
    QPushButton* newButton_;
    QPushButton* openButton_;
    QPushButton* defaultButton_;
    QPushButton* connectButton_;
    QPushButton* refreshButton_;
    QLabel* totalsLabel_;
    QPushButton* addButton_;
    QPushButton* analyzeButton_;
    QComboBox* periodChoice_;
    std::pair<QDate, QDate> chosenDays_; // on the time line
    QProgressBar* progress_;
    QPushButton* cancelButton_;
    QLabel* statusLabel_;
    QTabWidget* lists_;
    QTreeWidget* pasteList_;
    QListWidget* gapList_;
    EntriesTab* entriesTab_;
    RulesTab* rulesTab_;
};

} // namespace coffer
