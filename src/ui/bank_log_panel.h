#pragma once
// Frame2, the bank log text panel: "Import File", "Analyze now", the lookup option, the instructions
// and Text1, which holds the bank log source to analyse.

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
    // The whole text as UTF-8, as QPlainTextEdit::toPlainText gives it, read a block at a time with
    // `pump` called in between; the box cannot be edited meanwhile.
    std::string textUtf8(const std::function<void()>& pump);
    // Adds text at the end, wherever the user's cursor is.
    void appendText(const QString& text);
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
};

} // namespace coffer
