#pragma once
// Frame2, the bank log text panel: "Import File", "Analyze now", the lookup option, the instructions
// and Text1, which holds the bank log source to analyse.

#include "ui/log_text.h"

#include <QDate>
#include <QGroupBox>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class QCheckBox;
class QDateEdit;
class QPlainTextEdit;
class QPushButton;

namespace coffer {

struct TwipsRect;

class BankLogPanel : public QGroupBox {
    Q_OBJECT
  public:
    BankLogPanel(const QString& armoryDomain, QWidget* parent = nullptr);

    QPushButton* importButton() const { return command8_; }
    QPushButton* analyzeButton() const { return cmdAnalyze_; }
    bool lookUpItems() const;
    void setLookUpItems(bool lookUp);
    // The first and last day to analyse, local dates, both included; none when every entry counts.
    std::optional<std::pair<QDate, QDate>> period() const;
    // Whether an entry repeated on a later page counts once: offered after a run found such entries.
    bool countRepeatedOnce() const;
    void offerRepeatedOnce();
    // The whole text as UTF-8, as QPlainTextEdit::toPlainText gives it. Unless the box holds imports
    // only, it is read a block at a time with `pump` called in between; the box cannot be edited
    // meanwhile.
    LogText textUtf8(const std::function<void()>& pump);
    // Adds text at the end, wherever the user's cursor is.
    void appendText(const QString& text);
    // Adds an imported file's text at the end, a piece at a time with `pump` called in between; stops
    // early when `pump` returns false.
    void appendImport(std::string file, const std::function<bool()>& pump);
    // While text is being added, the user's typing would land in the middle of it.
    void setTextReadOnly(bool readOnly);
    void placeText(const TwipsRect& rect);

  private:
    QPushButton* command8_;
    QPushButton* cmdAnalyze_;
    QCheckBox* chkLorehold_;
    QCheckBox* chkPeriod_;
    QDateEdit* dtpFrom_;
    QDateEdit* dtpTo_;
    QCheckBox* chkRepeatedOnce_;
    QPlainTextEdit* text1_;
    // The text as UTF-8 while it is known: from the start or an emptied box on, as long as only imports
    // add to it.
    std::optional<LogText> knownText_ = LogText{};
    bool importing_ = false;
};

} // namespace coffer
