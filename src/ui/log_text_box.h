#pragma once
// Text1, the box that holds the bank log: a plain text editor made for logs of hundreds of megabytes.
// Past kLargeTextChars characters it keeps no undo history, and clearing or replacing the whole text
// (everything selected, then Delete, Backspace, Cut, typing or pasting) empties the document at once
// instead of deleting it block by block.

#include <QPlainTextEdit>

namespace coffer {

// The undo history keeps its own copy of every text added or removed, and removing a whole text costs
// it a record per block: for a log of this size and more that doubles the memory, and clearing it
// froze the window for seconds. Logs that size are imported or pasted, not typed, so nothing of
// value is lost.
inline constexpr int kLargeTextChars = 1 << 20;

class LogTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LogTextBox(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool wholeLargeTextSelected() const;
    void keepUndoForSmallTexts();
};

} // namespace coffer
