// SPDX-License-Identifier: MIT
#pragma once
// Text1, the box that holds the bank log: a plain text editor made for logs of hundreds of megabytes.
// Past kLargeTextChars characters it keeps no undo history, and clearing or replacing the whole text
// (everything selected, then Delete, Backspace, Cut, typing or pasting) empties the document at once
// instead of deleting it block by block. A selection of more characters is offered as the X11 primary
// selection only as another program asks for it; Copy, Cut and a drag still copy it at once.

#include <QPlainTextEdit>

namespace coffer {

// The undo history keeps its own copy of every text added or removed, and removing a whole text costs
// it a record per block: for a log of this size and more that doubles the memory, and clearing it
// froze the window for seconds. Logs that size are imported or pasted, not typed, so nothing of
// value is lost.
inline constexpr int kLargeTextChars = 1 << 20;

// Makes the box's characters what toPlainText gives: line and paragraph separators as line feeds,
// no-break spaces as spaces.
void MakePlain(QString& text);

class LogTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LogTextBox(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    bool wholeLargeTextSelected() const;
    void keepUndoForSmallTexts();
    void copySelection(); // to the clipboard, as it is now

    bool copying_ = false; // the selection is being copied, not offered
};

} // namespace coffer
