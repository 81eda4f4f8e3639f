// SPDX-License-Identifier: MIT
#pragma once
// Frame2, the bank log text panel: "Import File", "Analyze now", the lookup option, the instructions
// and Text1, which holds the bank log source to analyse.

#include "ui/base/log_text.h"

#include <QDate>
#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class QCheckBox;
class QDateEdit;
class QLabel;
class QProgressBar;
class QPlainTextEdit;
class QPushButton;

namespace coffer {

struct TwipsRect;

class BankLogPanel : public QGroupBox {
    Q_OBJECT
  public:
    BankLogPanel(const QString& armoryDomain, QWidget* parent = nullptr);

    QPushButton* importButton() const { return importButton_; }
    QPushButton* analyzeButton() const { return analyzeButton_; }
    bool lookUpItems() const;
    void setLookUpItems(bool lookUp);
    // The first and last day to analyse, local dates, both included; none when every entry counts.
    std::optional<std::pair<QDate, QDate>> period() const;
    // Whether an entry repeated on a later page counts once: offered after a run found such entries.
    bool countRepeatedOnce() const;
    void offerRepeatedOnce();
    // The whole text as UTF-8, as QPlainTextEdit::toPlainText gives it. Unless the box holds imports
    // only, it is read a block at a time with `pump` called in between; the box cannot be edited
    // meanwhile. When `pump` returns false the reading stops, and what was read is of no use.
    LogText textUtf8(const std::function<bool()>& pump);
    // The same, the window's events handled now and then meanwhile, until `going` returns false.
    LogText textWhileAnswering(const std::function<bool()>& going);
    // Adds text at the end, wherever the user's cursor is.
    void appendText(const QString& text);
    // While an import runs the box is read-only (typing would land in the middle of the import) and
    // the import's progress and its "Cancel" show in place of the instructions.
    void setImporting(bool importing);
    bool importCancelled() const { return importCancelled_; }
    // Adds an imported file's text at the end, a piece at a time with `pump` called in between; stops
    // early when `pump` returns false, and takes the text out again when the import was cancelled.
    // True when the whole file was added.
    bool appendImport(std::string file, const QString& name, const std::function<bool()>& pump);
    // The files whose text the box holds, in order, when it holds theirs and nothing else; else none.
    QStringList importedFiles() const { return importedFiles_.value_or(QStringList()); }
    void placeText(const TwipsRect& rect);

  signals:
    // The period of the Options frame changed: its check box or one of its days.
    void periodChanged();

  private:
    void buildImportProgress();
    void removeFrom(int position);

    QPushButton* importButton_;
    QPushButton* analyzeButton_;
    QCheckBox* lookupBox_;
    QCheckBox* periodBox_;
    QDateEdit* fromDate_;
    QDateEdit* toDate_;
    QCheckBox* repeatedOnceBox_;
    QLabel* instructions_;
    QWidget* importProgress_;
    QProgressBar* importProgressBar_;
    QPushButton* cancelImportButton_;
    QPlainTextEdit* logTextBox_;
    // The text as UTF-8 while it is known: from the start or an emptied box on, as long as only imports
    // add to it.
    std::optional<LogText> knownText_ = LogText{};
    // The files imported since the box was last empty, as long as only imports add to it.
    std::optional<QStringList> importedFiles_ = QStringList();
    bool importing_ = false;
    bool importCancelled_ = false;
};

} // namespace coffer
