#include "ui/log_text_box.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <memory>

namespace coffer {
namespace {

// Keys that delete the selection, or replace it by what they type.
bool ReplacesSelection(const QKeyEvent* event) {
    const int key = event->key();
    if (event->matches(QKeySequence::Delete) || event->matches(QKeySequence::Cut) || key == Qt::Key_Backspace ||
        key == Qt::Key_Return || key == Qt::Key_Enter)
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier);
}

} // namespace

LogTextBox::LogTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("Text1"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(document(), &QTextDocument::contentsChanged, this, &LogTextBox::keepUndoForSmallTexts);
}

void LogTextBox::keepUndoForSmallTexts() {
    const bool small = document()->characterCount() <= kLargeTextChars;
    if (document()->isUndoRedoEnabled() != small) // turning it off rewrites the document's storage
        document()->setUndoRedoEnabled(small);
}

bool LogTextBox::wholeLargeTextSelected() const {
    const QTextCursor selection = textCursor();
    return !isReadOnly() && document()->characterCount() > kLargeTextChars && selection.selectionStart() == 0 &&
           selection.selectionEnd() >= document()->characterCount() - 1;
}

void LogTextBox::keyPressEvent(QKeyEvent* event) {
    if (!ReplacesSelection(event) || !wholeLargeTextSelected())
        return QPlainTextEdit::keyPressEvent(event);
    const bool cut = event->matches(QKeySequence::Cut);
    if (cut)
        copy();
    clear();
    if (cut || event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace)
        return event->accept();
    QPlainTextEdit::keyPressEvent(event); // what was typed goes into the emptied box
}

void LogTextBox::insertFromMimeData(const QMimeData* source) {
    if (wholeLargeTextSelected())
        clear();
    QPlainTextEdit::insertFromMimeData(source);
}

// The menu's Cut and Delete take the same way as their keys.
void LogTextBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    QObject* editor = nullptr; // the editing control inside the box, which the menu's actions call
    for (QObject* child : children())
        if (qstrcmp(child->metaObject()->className(), "QWidgetTextControl") == 0)
            editor = child;
    for (QAction* action : menu->actions()) {
        const bool cut = action->objectName() == u"edit-cut";
        if (editor == nullptr || (!cut && action->objectName() != u"edit-delete"))
            continue;
        action->disconnect(editor);
        connect(action, &QAction::triggered, this, [this, cut] {
            if (cut)
                copy();
            if (wholeLargeTextSelected())
                clear();
            else
                textCursor().removeSelectedText();
        });
    }
    menu->exec(event->globalPos());
}

} // namespace coffer
