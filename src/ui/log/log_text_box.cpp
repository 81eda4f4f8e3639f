// SPDX-License-Identifier: MIT
#include "ui/log/log_text_box.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <memory>

namespace coffer {
namespace {

// The text of a selection, made only when it is asked for. Qt offers every selection as the X11 primary
// selection, for which it copied the whole selected document at once: seconds and hundreds of
// megabytes for a select-all of a big log. Once the box's text changes the selection's text is gone
// and nothing is offered.
class SelectionOnDemand : public QMimeData {
  public:
    SelectionOnDemand(const QTextCursor& selection, QTextDocument* document) : selection_(selection) {
        connect(document, &QTextDocument::contentsChange, this, [this] { selection_ = QTextCursor(); });
    }
    QStringList formats() const override { return {kPlainText}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == kPlainText; }

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType != kPlainText || selection_.isNull())
            return {};
        QString text = selection_.selectedText();
        MakePlain(text);
        return text;
    }

  private:
    static inline const QString kPlainText = QStringLiteral("text/plain");
    QTextCursor selection_;
};

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

void MakePlain(QString& text) {
    for (QChar& c : text) {
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u'\n';
        else if (c == QChar::Nbsp)
            c = u' ';
    }
}

LogTextBox::LogTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("Text1"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true); // a pasted log never needs a typed tab
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

QMimeData* LogTextBox::createMimeDataFromSelection() const {
    const QTextCursor selection = textCursor();
    if (copying_ || selection.selectionEnd() - selection.selectionStart() <= kLargeTextChars)
        return QPlainTextEdit::createMimeDataFromSelection();
    return new SelectionOnDemand(selection, document());
}

void LogTextBox::copySelection() {
    const QScopedValueRollback copying(copying_, true);
    copy();
}

// A drag starts here and takes the selection's text at once: a move takes the selection out of the box
// before the drop reads it.
void LogTextBox::mouseMoveEvent(QMouseEvent* event) {
    const QScopedValueRollback copying(copying_, true);
    QPlainTextEdit::mouseMoveEvent(event);
}

void LogTextBox::keyPressEvent(QKeyEvent* event) {
    const QScopedValueRollback copying(copying_,
                                       event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut));
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

// The menu's Copy, Cut and Delete take the same way as their keys.
void LogTextBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    QObject* editor = nullptr; // the editing control inside the box, which the menu's actions call
    for (QObject* child : children())
        if (qstrcmp(child->metaObject()->className(), "QWidgetTextControl") == 0)
            editor = child;
    for (QAction* action : menu->actions()) {
        const bool cut = action->objectName() == u"edit-cut";
        const bool copies = action->objectName() == u"edit-copy";
        if (editor == nullptr || (!cut && !copies && action->objectName() != u"edit-delete"))
            continue;
        action->disconnect(editor);
        if (copies) {
            connect(action, &QAction::triggered, this, &LogTextBox::copySelection);
            continue;
        }
        connect(action, &QAction::triggered, this, [this, cut] {
            if (cut)
                copySelection();
            if (wholeLargeTextSelected())
                clear();
            else
                textCursor().removeSelectedText();
        });
    }
    menu->exec(event->globalPos());
}

} // namespace coffer
